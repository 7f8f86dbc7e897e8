#include "app/eeprom_production.h"

#include "app/eeprom_backup.h"
#include "app/mac_pool.h"
#include "cards/eeprom_image.h"
#include "cards/pci_card.h"

namespace eeprom_production {

std::vector<WordDifference> Compare(const EepromWords& a, const EepromWords& b) {
  std::vector<WordDifference> out;
  for (size_t w = 0; w < a.size(); ++w)
    if (a[w] != b[w]) out.push_back({static_cast<int>(w), a[w], b[w]});
  return out;
}

EepromWords ReadAll(PCI_Card& card) {
  EepromWords words{};
  for (size_t w = 0; w < words.size(); ++w) words[w] = card.ReadEeprom(static_cast<int>(w));
  return words;
}

const char* UnusableAddressReason(const EthernetAddress& address) {
  if (address.GetValue() == 0) return "is all zero";
  if (address.GetByte(0) & 1) return "is a multicast address";
  return nullptr;
}

Result Program(EEPROMDialog& dialog, PCI_Card& card, const Options& options) {
  Result result;
  const std::optional<EepromWords> image = dialog.ComposeImage();
  if (!image) {
    const auto& shown = dialog.messages.List();
    result.error = shown.empty() ? "refused" : shown.back().text;
    // A text the card threw is a failure of the board, not of the input.
    if (!shown.empty() && shown.back().caption == "EEProm error") result.outcome = Outcome::Failed;
    return result;
  }
  result.image = *image;
  result.address = eeprom_image::GetAddressWords(image->data(), eeprom_image::kStationAddressWord);
  if (const char* reason = UnusableAddressReason(result.address); reason && !options.force) {
    result.error = "Ethernet MAC address " + result.address.Format() + " " + reason +
                   " and cannot be a board's address (--force programs it anyway).";
    return result;
  }

  result.outcome = Outcome::Failed;
  try {
    result.before = ReadAll(card);
  } catch (const char* text) {
    result.error = std::string("cannot read the EEPROM: ") + text;
    return result;
  }
  result.changes = Compare(result.before, result.image);
  if (options.dryRun) {
    result.outcome = Outcome::DryRun;
    return result;
  }

  try {
    result.backupPath = eeprom_backup::Write(options.backupDirectory, result.address, options.now, result.before,
                                             options.about);
  } catch (const eeprom_backup::BackupError& e) {
    result.error = std::string(e.what()) + "; nothing written";
    return result;
  }

  if (!dialog.WriteImage(result.image)) {
    result.error = "programming failed: " + dialog.messages.List().back().text;
    return result;
  }
  result.written = true;

  if (options.verify) {
    EepromWords readBack{};
    try {
      readBack = ReadAll(card);
    } catch (const char* text) {
      result.error = std::string("cannot read the EEPROM back: ") + text;
      return result;
    }
    result.mismatches = Compare(result.image, readBack);
    if (!result.mismatches.empty()) {
      result.error = "verify failed: " + std::to_string(result.mismatches.size()) + " of 64 words read back wrong";
      return result;
    }
    result.verified = true;
  }
  result.outcome = Outcome::Programmed;
  return result;
}

Result ProgramFromPool(EEPROMDialog& dialog, PCI_Card& card, MacPool& pool, const Options& options) {
  EthernetAddress next;
  try {
    next = pool.Next();
  } catch (const MacPool::Error& e) {
    Result result;
    result.error = e.what();
    return result;
  }
  dialog.ethernetAddressText = next.Format();
  Result result = Program(dialog, card, options);
  if (result.outcome != Outcome::Programmed || !result.verified) return result;
  try {
    pool.Advance(result.address);
  } catch (const MacPool::Error& e) {
    result.outcome = Outcome::Failed;
    result.error = std::string(e.what()) + ": the board holds " + result.address.Format() +
                   "; correct the pool file by hand before the next board";
  }
  return result;
}

}  // namespace eeprom_production
