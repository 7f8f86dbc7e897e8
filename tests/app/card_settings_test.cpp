#include "app/card_settings.h"

#include <gtest/gtest.h>

#include <map>

#include "app/dialog_test_card.h"

namespace {

struct SettingsCase {
  const char* what;
  std::map<int, uint16_t> words;
  const char* adapterType;
  const char* connectionType;
  const char* programDate;
};

TEST(CardSettings, TextsFromTheEeprom) {
  const SettingsCase cases[] = {
      {"blank", {}, "Unknown", "", "0/0/1990"},
      {"Windows NT, 3/7/2012", {{52, 0x0055}, {45, 0x2C67}}, "Windows NT", "", "3/7/2012"},
      {"Macintosh", {{52, 0x0099}}, "Macintosh", "", "0/0/1990"},
      {"Netware", {{52, 0x00EE}}, "Netware", "", "0/0/1990"},
      {"unlisted code 3", {{52, 0x0003}}, "Unknown", "", "0/0/1990"},
      {"47 and 49", {{47, 1}, {49, 1}}, "Unknown", "Full Duplex 100", "0/0/1990"},
      {"10 full duplex", {{48, 1}, {50, 1}}, "Unknown", "Full Duplex 10", "0/0/1990"},
      {"only 50", {{50, 2}}, "Unknown", "10BT", "0/0/1990"},
      {"only 51", {{51, 1}}, "Unknown", "Auto Negotiation", "0/0/1990"},
  };
  for (const SettingsCase& c : cases) {
    SCOPED_TRACE(c.what);
    DialogTestCard card;
    for (const auto& [word, value] : c.words) card.words[static_cast<size_t>(word)] = value;
    card.words[42] = 0x1234;
    card.words[43] = 0x5678;
    card.words[44] = 0x9ABC;
    card.words[0] = 0x13D8;
    card.words[1] = 0x0430;
    card.words[46] = 0x0400;
    CardSettings settings(card);
    settings.Open();
    EXPECT_EQ(settings.adapterType, c.adapterType);
    EXPECT_EQ(settings.connectionType, c.connectionType);
    EXPECT_EQ(settings.programDate, c.programDate);
    EXPECT_EQ(settings.macAddress, "12:34:56:78:9a:bc");
    EXPECT_EQ(settings.virtualAddress, "XX:XX:XX:XX:XX:XX");
    EXPECT_EQ(settings.subVendorId, "13d8");
    EXPECT_EQ(settings.subsystemId, "0430");
    EXPECT_EQ(settings.boardId, "0400");
    EXPECT_TRUE(card.setPortCalls.empty()) << "one port: no Port Select";
  }
}

TEST(CardSettings, ReadsTheWordsInTheDialogsOrder) {
  DialogTestCard card;
  card.words[49] = 1;
  CardSettings settings(card);
  settings.Open();
  EXPECT_EQ(card.calls, (std::vector<std::string>{"r52", "r42", "r43", "r44", "r47", "r48", "r49", "r0", "r46", "r1",
                                                  "r45"}));
}

TEST(CardSettings, SecondPortShowsTheVirtualAddress) {
  DialogTestCard card;
  card.ports = 2;
  card.currentPort = 1;
  card.words[53] = 0x0200;
  card.words[55] = 0x00EE;
  CardSettings settings(card);
  std::vector<int> offered;
  settings.choosePort = [&](int initial) {
    offered.push_back(initial);
    return 3;
  };
  settings.Open();
  EXPECT_EQ(offered, std::vector<int>{1});
  EXPECT_EQ(card.setPortCalls, std::vector<int>{3});
  EXPECT_EQ(settings.port, 3);
  EXPECT_EQ(settings.virtualAddress, "02:00:00:00:00:ee");
}

TEST(CardSettings, ThrownTextLeavesEveryFieldAtItsStart) {
  DialogTestCard card;
  card.words[52] = 0x0055;
  card.throwOnReadWord = 45;  // the last word read
  CardSettings settings(card);
  settings.Open();
  EXPECT_EQ(settings.messages.List(), (std::vector<DialogMessage>{{"EEPROM not responding", "EEProm error"}}));
  for (const auto& field : settings.Fields())
    EXPECT_EQ(field.text, std::string(field.label) == "Virtual Address" ? "XX:XX:XX:XX:XX:XX" : "") << field.label;
}

TEST(CardSettings, FieldsInDialogOrderWithTheirCase) {
  DialogTestCard card;
  CardSettings settings(card);
  std::string labels;
  std::string upper;
  for (const auto& field : settings.Fields()) {
    labels += std::string(field.label) + "|";
    upper += field.upperCase ? "U" : "-";
  }
  EXPECT_EQ(labels, "Adapter Type|MAC Address|Virtual Address|Sub Vendor ID|Board ID|Connection Type|Program Date|Subsystem ID|");
  EXPECT_EQ(upper, "-UUUU--U");
}

}  // namespace
