#include "app/flash_command.h"

#include <cstdio>
#include <cstdlib>

#include "app/flash_viewer.h"
#include "app/main_dialog.h"
#include "cards/pci_card.h"
#include "pci/pci_system.h"
#include "production/preferences_file.h"

namespace {
constexpr const char* kApplicationTitle = "PCI Diagnostics";
}

FlashCommand::FlashCommand(MainDialog& dialog, std::string settingsFile)
    : dialog_(dialog), settingsFile_(std::move(settingsFile)) {}

bool FlashCommand::Run() {
  const PreferencesFile settings(settingsFile_.c_str(), kSection);
  PCI_System& system = dialog_.System();
  const std::vector<bool>& selected = dialog_.Selection();
  size_t count = 0;
  for (bool s : selected) count += s ? 1 : 0;

  if (count < 2) {
    FlashViewer viewer(system);
    viewer.Open();
    if (runViewer) runViewer(viewer);
    messages.Show(kPowerDownNotice, kNoticeCaption);
    return true;
  }

  // Every row is visited, selected or not, so the last row's card stays current.
  const auto& rows = dialog_.Rows();
  for (size_t row = 0; row < rows.size(); ++row) {
    const int bus = std::atoi(rows[row][card_list::kBusColumn].c_str());
    const int device = std::atoi(rows[row][card_list::kSlotColumn].c_str());
    system.SelectDevice(bus, device);
    PCI_Card* card = system.card;
    if (!selected[row] || card == nullptr || !card->HasFlash()) continue;
    const std::string key = std::string(card->Name()) + " Flash File";
    std::string file;
    if (!settings.ReadString(key.c_str(), file, "")) {
      messages.Show("Could not determine " + key, kApplicationTitle);
      return false;
    }
    char line[400];
    std::snprintf(line, sizeof line, "Programming Board %02d Device %02d with \"%s\"", bus, device, file.c_str());
    dialog_.Log().Append(line);
  }
  messages.Show(kPowerDownNotice, kNoticeCaption);
  return true;
}
