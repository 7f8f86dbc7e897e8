#include "app/eeprom_dialog.h"

#include <gtest/gtest.h>

#include <map>

#include "app/dialog_test_card.h"
#include "hw/srom_crc.h"

namespace ei = eeprom_image;

namespace {

struct FieldCase {
  const char* what;
  std::map<int, uint16_t> words;
  const char* date;  // month/day/year as the three edits show them
  int adapterType;
  int connectionType;
};

TEST(EEPROMDialogFields, DecodedFromTheEeprom) {
  const FieldCase cases[] = {
      {"blank EEPROM", {}, "0/0/1990", ei::kUnknownNicType, ei::kAutoNegotiate},
      {"date and Windows NT", {{45, 0x199F}, {52, 0x0055}}, "12/31/2002", 5, ei::kAutoNegotiate},
      {"unlisted NIC code", {{52, 0x0044}}, "0/0/1990", ei::kUnknownNicType, ei::kAutoNegotiate},
      {"100Base-T whatever 48, 50, 51 hold", {{49, 1}, {48, 1}, {50, 1}, {51, 1}}, "0/0/1990", ei::kUnknownNicType,
       ei::k100BaseT},
      {"100Base-T full duplex", {{49, 1}, {47, 1}}, "0/0/1990", ei::kUnknownNicType, ei::k100BaseTFullDuplex},
      {"10Base-T full duplex", {{50, 1}, {48, 1}}, "0/0/1990", ei::kUnknownNicType, ei::k10BaseTFullDuplex},
      {"inconsistent flags 1,1,0,0,0", {{47, 1}, {48, 1}}, "0/0/1990", ei::kUnknownNicType, ei::kAutoNegotiate},
      {"AS400", {{52, 0x0100}}, "0/0/1990", 10, ei::kAutoNegotiate},
  };
  for (const FieldCase& c : cases) {
    SCOPED_TRACE(c.what);
    DialogTestCard card;
    for (const auto& [word, value] : c.words) card.words[static_cast<size_t>(word)] = value;
    card.words[0] = 0x13D8;
    card.words[1] = 0x0430;
    card.words[46] = 0x0A0B;
    card.words[42] = 0x0011;
    card.words[43] = 0x2233;
    card.words[44] = 0x4455;
    EEPROMDialog dialog(card);
    dialog.Initialise();
    EXPECT_TRUE(dialog.messages.List().empty());
    EXPECT_EQ(dialog.monthText + "/" + dialog.dayText + "/" + dialog.yearText, c.date);
    EXPECT_EQ(dialog.adapterType, c.adapterType);
    EXPECT_EQ(dialog.connectionType, c.connectionType);
    EXPECT_EQ(dialog.ethernetAddressText, "00:11:22:33:44:55");
    EXPECT_EQ(dialog.subsystemVendorIdText, "13d8");
    EXPECT_EQ(dialog.subsystemIdText, "0430");
    EXPECT_EQ(dialog.boardIdText, "0a0b");
    EXPECT_FALSE(dialog.VirtualAddressEnabled()) << "port 0 has no virtual address";
    EXPECT_EQ(dialog.virtualAddressText, "");
  }
}

TEST(EEPROMDialogFields, ThrownTextLeavesAddressAndDateUnset) {
  DialogTestCard card;
  card.words[0] = 0x13D8;
  card.words[45] = 0x199F;
  card.words[52] = 0x0055;
  card.throwOnReadWord = 49;  // the first word the connection type needs
  EEPROMDialog dialog(card);
  dialog.Initialise();
  ASSERT_EQ(dialog.messages.List(), (std::vector<DialogMessage>{{"EEPROM not responding", "EEProm error"}}));
  EXPECT_EQ(dialog.ethernetAddressText, "");
  EXPECT_EQ(dialog.monthText + dialog.dayText + dialog.yearText, "000");
  EXPECT_EQ(dialog.subsystemVendorIdText, "13d8") << "the ID edits are filled as they are read";
  EXPECT_EQ(dialog.adapterType, 5);
  EXPECT_EQ(dialog.connectionType, -1);
}

TEST(EEPROMDialogFields, MultiPortCardChoosesAPortAndThenNeedsAVirtualAddress) {
  DialogTestCard card;
  card.ports = 2;
  EEPROMDialog dialog(card);
  std::vector<int> offered;
  dialog.choosePort = [&](int initial) {
    offered.push_back(initial);
    return 1;
  };
  dialog.Initialise();
  EXPECT_EQ(offered, std::vector<int>{0});
  EXPECT_EQ(card.setPortCalls, std::vector<int>{1});
  EXPECT_EQ(dialog.port, 1);
  EXPECT_EQ(dialog.virtualAddressText, "00:00:00:ff:ff:ff");
  // OK now checks the virtual address too.
  dialog.ethernetAddressText = "00:11:22:33:44:55";
  dialog.virtualAddressText = "00:11:22";
  EXPECT_FALSE(dialog.Ok());
  EXPECT_EQ(dialog.messages.List().back(),
            (DialogMessage{"Virtual MAC address must be of the form XX:XX:XX:XX:XX:XX.", "EEPROM Programming"}));
  dialog.virtualAddressText = "02:00:00:00:00:07";
  ASSERT_TRUE(dialog.Ok());
  EXPECT_EQ(card.words[53], 0x0200);
  EXPECT_EQ(card.words[55], 0x0007);
}

// ---- OK: validation ----

struct InputCase {
  const char* what;
  const char* mac;
  const char* month;
  const char* day;
  const char* year;
  const char* boardId;
  DialogMessage message;
};

TEST(EEPROMDialogOk, BadInputShowsTheMessageAndWritesNothing) {
  const DialogMessage macMessage{"Ethernet MAC address must be of the form XX:XX:XX:XX:XX:XX.", "EEPROM Programming"};
  const DialogMessage dateMessage{
      "Program date must have a month of 0 to 15, a day of 0 to 31 and a year of 1990 to 2117.", "EEPROM Programming"};
  const DialogMessage integerMessage{"Please enter an integer.", "PCI Diagnostics"};
  const InputCase cases[] = {
      {"five fields", "00:11:22:33:44", "12", "31", "2002", "0400", macMessage},
      {"empty address", "", "12", "31", "2002", "0400", macMessage},
      {"blank before a colon", "00 :11:22:33:44:55", "12", "31", "2002", "0400", macMessage},
      {"day not an integer", "00:11:22:33:44:55", "12", "3x", "2002", "0400", integerMessage},
      {"empty year", "00:11:22:33:44:55", "12", "31", "", "0400", integerMessage},
      {"day 32 would spill into the month", "00:11:22:33:44:55", "12", "32", "2002", "0400", dateMessage},
      {"month 16 would spill into the year", "00:11:22:33:44:55", "16", "1", "2002", "0400", dateMessage},
      {"year before 1990", "00:11:22:33:44:55", "1", "1", "1989", "0400", dateMessage},
      {"year after 2117", "00:11:22:33:44:55", "1", "1", "2118", "0400", dateMessage},
      {"board ID not hexadecimal", "00:11:22:33:44:55", "12", "31", "2002", "zz",
       {"Board ID must be a hexadecimal number.", "EEPROM Programming"}},
      {"board ID empty", "00:11:22:33:44:55", "12", "31", "2002", "",
       {"Board ID must be a hexadecimal number.", "EEPROM Programming"}},
  };
  for (const InputCase& c : cases) {
    SCOPED_TRACE(c.what);
    DialogTestCard card;
    EEPROMDialog dialog(card);
    dialog.Initialise();
    dialog.ethernetAddressText = c.mac;
    dialog.monthText = c.month;
    dialog.dayText = c.day;
    dialog.yearText = c.year;
    dialog.boardIdText = c.boardId;
    EXPECT_FALSE(dialog.Ok());
    EXPECT_FALSE(dialog.ClosedWithOk());
    EXPECT_EQ(dialog.messages.List(), std::vector<DialogMessage>{c.message});
    EXPECT_TRUE(card.WritesAndEnables().empty());
  }
}

// ---- OK: programming ----

TEST(EEPROMDialogOk, ProgramsAllWordsInOrderWithBothChecksums) {
  DialogTestCard card;
  card.words.fill(0xFFFF);
  EEPROMDialog dialog(card);
  dialog.Initialise();
  card.calls.clear();
  dialog.ethernetAddressText = "00:11:22:33:44:55";
  dialog.monthText = "12";
  dialog.dayText = "31";
  dialog.yearText = "2002";
  dialog.subsystemVendorIdText = "0x1ab";
  dialog.subsystemIdText = "12345";  // the low 16 bits count
  dialog.boardIdText = "0400 and more";  // converted up to the first other character
  dialog.adapterType = 5;  // Windows NT
  dialog.connectionType = ei::k10BaseTFullDuplex;
  ASSERT_TRUE(dialog.Ok());
  EXPECT_TRUE(dialog.ClosedWithOk());

  std::vector<std::string> expected{"e1"};
  for (int w = 0; w < 64; ++w) expected.push_back("w" + std::to_string(w));
  expected.push_back("e0");
  EXPECT_EQ(card.calls, expected);
  EXPECT_FALSE(card.writeEnabled);

  const auto& w = card.words;
  EXPECT_EQ(w[42], 0x0011);
  EXPECT_EQ(w[43], 0x2233);
  EXPECT_EQ(w[44], 0x4455);
  EXPECT_EQ(w[45], 0x199F);
  EXPECT_EQ(w[0], 0x01AB);
  EXPECT_EQ(w[1], 0x2345);
  EXPECT_EQ(w[46], 0x0400);
  EXPECT_EQ(w[52], 0x0055);
  EXPECT_EQ((std::vector<uint16_t>{w.begin() + 47, w.begin() + 52}), (std::vector<uint16_t>{0, 1, 0, 1, 0}));
  EXPECT_EQ(w[53], 0) << "port 0: no virtual address";
  EXPECT_EQ(w[10], 0) << "a card without defaults leaves the DEC area empty";
  const ei::Checksums sums = ei::VerifyChecksums(w.data());
  EXPECT_TRUE(sums.IdCrcMatches());
  EXPECT_TRUE(sums.ImageCrcMatches());
}

TEST(EEPROMDialogOk, ModelDefaultsReplaceTypedIdsButNotTheChosenTypes) {
  DialogTestCard card;
  card.r83Fiber = false;
  EEPROMDialog dialog(card);
  dialog.Initialise();
  dialog.ethernetAddressText = "00:11:22:33:44:55";
  dialog.subsystemIdText = "1234";
  dialog.adapterType = ei::kUnknownNicType;
  dialog.connectionType = -1;  // no selection
  ASSERT_TRUE(dialog.Ok());
  EXPECT_EQ(card.words[1], 0x0430);
  EXPECT_EQ(card.words[46], 0x0400);
  EXPECT_EQ(card.words[52], 0x0000) << "Unknown is written as 0";
  for (int i = 47; i <= 51; ++i) EXPECT_EQ(card.words[static_cast<size_t>(i)], 0) << "no connection chosen: no flags";
  EXPECT_EQ(card.words[10], 0x1100) << "address bytes 0 and 1 in the DEC area";
  EXPECT_EQ(card.words[15], 0x0800);
  EXPECT_TRUE(ei::VerifyChecksums(card.words.data()).ImageCrcMatches());
}

TEST(EEPROMDialogOk, ReprogrammingWhatWasReadKeepsTheFields) {
  DialogTestCard card;
  card.words.fill(0xFFFF);  // a blank part: every field at its largest
  EEPROMDialog first(card);
  first.Initialise();
  first.ethernetAddressText = "00:11:22:33:44:55";
  ASSERT_TRUE(first.Ok());
  const auto programmed = card.words;
  EEPROMDialog second(card);
  second.Initialise();
  ASSERT_TRUE(second.Ok()) << second.messages.List().back().text;
  EXPECT_EQ(card.words, programmed);
}

TEST(EEPROMDialogOk, ThrownTextWhileProgrammingIsShownAndWritesAreDisabled) {
  DialogTestCard card;
  EEPROMDialog dialog(card);
  dialog.Initialise();
  dialog.ethernetAddressText = "00:11:22:33:44:55";
  card.throwOnWriteWord = 10;
  EXPECT_FALSE(dialog.Ok());
  EXPECT_FALSE(dialog.ClosedWithOk());
  EXPECT_EQ(dialog.messages.List(), (std::vector<DialogMessage>{{"EEPROM write timed out", "EEProm error"}}));
  EXPECT_EQ(card.WritesAndEnables().back(), "e0");
  EXPECT_FALSE(card.writeEnabled);
}

// ---- Advanced ----

TEST(EEPROMDialogAdvanced, ListsEveryWordWithItsLabel) {
  DialogTestCard card;
  for (size_t w = 0; w < 64; ++w) card.words[w] = static_cast<uint16_t>(0x0100 * w + 0xA);
  EEPROMDialog dialog(card);
  dialog.Initialise();
  EXPECT_FALSE(dialog.Expanded());
  EXPECT_EQ(dialog.WordRows()[63].offset, "3f");
  dialog.Advanced();
  EXPECT_TRUE(dialog.Expanded());
  EXPECT_FALSE(dialog.FieldsEnabled());
  const auto& rows = dialog.WordRows();
  EXPECT_EQ(rows[0].offset, "00");
  EXPECT_EQ(rows[0].value, "0x000a");
  EXPECT_EQ(rows[0x2a].value, "0x2a0a");
  const std::pair<int, const char*> labels[] = {
      {0, "Vendor ID"},
      {1, "Subsystem ID"},
      {8, "ID Block CRC"},
      {9, "Controller count + ROM format version"},
      {10, "IEEE Nework Address part 0"},
      {12, ""},
      {13, "IEEE Nework Address part 2 + Num Controllers"},
      {28, "Copyright"},
      {45, "Program Date"},
      {51, "Auto Negotiation"},
      {55, "Virtual Address Word 2"},
      {56, "First Unused"},
      {57, ""},
      {63, "CRC"},
  };
  for (const auto& [row, label] : labels) EXPECT_EQ(rows[static_cast<size_t>(row)].name, label) << "row " << row;
  int labelled = 0;
  for (const auto& row : rows) labelled += row.name.empty() ? 0 : 1;
  EXPECT_EQ(labelled, 26);
}

TEST(EEPROMDialogAdvanced, OkAfterAdvancedProgramsTheShownFields) {
  DialogTestCard card;
  card.words[45] = 0x199F;
  card.words[42] = 0x0011;
  card.words[43] = 0x2233;
  card.words[44] = 0x4455;
  EEPROMDialog dialog(card);
  dialog.Initialise();
  dialog.Advanced();
  ASSERT_TRUE(dialog.Ok());
  EXPECT_EQ(card.words[45], 0x199F);
  EXPECT_EQ(card.words[44], 0x4455);
}

TEST(EEPROMDialogAdvanced, ThrownTextStopsTheListAtTheFailingWord) {
  DialogTestCard card;
  EEPROMDialog dialog(card);
  card.throwOnReadWord = 5;
  dialog.Advanced();
  EXPECT_EQ(dialog.messages.List(), (std::vector<DialogMessage>{{"EEPROM not responding", "EEProm error"}}));
  EXPECT_EQ(dialog.WordRows()[4].value, "0x0000");
  EXPECT_EQ(dialog.WordRows()[5].value, "");
  EXPECT_EQ(dialog.WordRows()[0].name, "") << "the labels come after all values";
}

}  // namespace
