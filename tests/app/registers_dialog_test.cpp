#include "app/registers_dialog.h"

#include <gtest/gtest.h>

#include <map>

#include "support/fake_eeprom_card.h"

namespace {

const char* const kConfigNames[4] = {"Identification", nullptr, "Class and Revision", "Header"};
const char* const kWideNames[8] = {"R0", "R1", "R2", "R3", "R4", "R5", "R6", "R7"};
const char* const kByteNames[2] = {"Low", "High"};
const char* const kWordNames[64] = {
    "W00", "W01", "W02", "W03", "W04", "W05", "W06", "W07", "W08", "W09", "W0A", "W0B", "W0C", "W0D", "W0E", "W0F",
    "W10", "W11", "W12", "W13", "W14", "W15", "W16", "W17", "W18", "W19", "W1A", "W1B", "W1C", "W1D", "W1E", "W1F",
    "W20", "W21", "W22", "W23", "W24", "W25", "W26", "W27", "W28", "W29", "W2A", "W2B", "W2C", "W2D", "W2E", "W2F",
    "W30", "W31", "W32", "W33", "W34", "W35", "W36", "W37", "W38", "W39", "W3A", "W3B", "W3C", "W3D", "W3E", "W3F"};

const RegisterSet kSets[] = {
    {"PCI Configuration", 4, 32, 4, kConfigNames},
    {"EEPROM", 64, 16, 1, kWordNames},
    {"Wide", 8, 32, 0x40, kWideNames},
    {"Bytes", 2, 8, 1, kByteNames},
    {nullptr, 0, 0, 0, nullptr},
};

// Registers held in a map per set; unwritten ones read as set * 0x100 + offset.
class RegisterCard : public FakeEepromCard {
 public:
  RegisterCard() : FakeEepromCard(nullptr) {}
  const RegisterSet* RegisterSets() override { return kSets; }
  uint32_t ReadRegister(int set, uint32_t offset) override {
    auto it = values.find({set, offset});
    return it != values.end() ? it->second : static_cast<uint32_t>(set * 0x100) + offset;
  }
  void WriteRegister(int set, uint32_t offset, uint32_t value) override {
    writes.push_back({set, offset, value});
    values[{set, offset}] = value;
  }
  struct Write {
    int set;
    uint32_t offset;
    uint32_t value;
    bool operator==(const Write&) const = default;
  };
  std::map<std::pair<int, uint32_t>, uint32_t> values;
  std::vector<Write> writes;
};

std::vector<std::string> Column(const RegistersDialog& dialog, std::string RegistersDialog::Row::*field) {
  std::vector<std::string> out;
  for (const auto& row : dialog.Rows()) out.push_back(row.*field);
  return out;
}

TEST(RegistersDialog, ListsTheNamedPositionsOfTheChosenSet) {
  RegisterCard card;
  RegistersDialog dialog(card);
  dialog.Start();
  EXPECT_EQ(dialog.SetNames(), (std::vector<std::string>{"PCI Configuration", "EEPROM", "Wide", "Bytes"}));
  EXPECT_EQ(dialog.SelectedSet(), 0);
  EXPECT_EQ(Column(dialog, &RegistersDialog::Row::name),
            (std::vector<std::string>{"Identification", "Class and Revision", "Header"}));
  EXPECT_EQ(Column(dialog, &RegistersDialog::Row::address), (std::vector<std::string>{"00", "08", "0C"}));
  EXPECT_EQ(Column(dialog, &RegistersDialog::Row::value), (std::vector<std::string>{"00000000", "00000008", "0000000C"}));

  dialog.SelectSet(1);
  ASSERT_EQ(dialog.Rows().size(), 64u);
  EXPECT_EQ(dialog.Rows().back().address, "3F");
  EXPECT_EQ(dialog.Rows().back().value, "013F") << "16-bit set";

  dialog.SelectSet(2);
  EXPECT_EQ(dialog.Rows().back().address, "1C0") << "offsets above 0xFF keep all their digits";
  EXPECT_EQ(dialog.Rows().back().value, "000003C0");

  dialog.SelectSet(3);
  EXPECT_EQ(Column(dialog, &RegistersDialog::Row::value), (std::vector<std::string>{"300", "301"}))
      << "an 8-bit set prints at least two digits";
  dialog.SelectSet(4);
  EXPECT_EQ(dialog.SelectedSet(), 3) << "no such entry in the chooser";
}

struct SetCase {
  const char* what;
  int row;
  const char* text;
  std::vector<RegisterCard::Write> writes;
  bool refused;
};

TEST(RegistersDialog, SetWritesOnlyAHexadecimalValueToTheSelectedRow) {
  const SetCase cases[] = {
      {"no row selected", -1, "1234", {}, false},
      {"empty value", 1, "", {}, false},
      {"not hexadecimal", 1, "zz", {}, true},
      {"a sign is not a digit", 1, "-1", {}, true},
      {"a bare prefix is the digit 0", 1, "0x", {{0, 8, 0}}, false},
      {"plain", 1, "1a2B", {{0, 8, 0x1A2B}}, false},
      {"blanks and prefix", 2, "  0xfF", {{0, 12, 0xFF}}, false},
      {"leading digits as %x reads them", 0, "12zz", {{0, 0, 0x12}}, false},
      {"all eight digits", 0, "FFFFFFFF", {{0, 0, 0xFFFFFFFF}}, false},
  };
  for (const SetCase& c : cases) {
    SCOPED_TRACE(c.what);
    RegisterCard card;
    RegistersDialog dialog(card);
    dialog.Start();
    dialog.selectedRow = c.row;
    dialog.valueText = c.text;
    dialog.Set();
    EXPECT_EQ(card.writes, c.writes);
    if (c.refused) {
      EXPECT_EQ(dialog.messages.List(),
                (std::vector<DialogMessage>{{"The value must be a hexadecimal number.", "Registers"}}));
      EXPECT_EQ(dialog.valueText, c.text) << "the edit keeps the refused text";
    } else {
      EXPECT_TRUE(dialog.messages.List().empty());
    }
    if (!c.writes.empty()) {
      EXPECT_EQ(dialog.valueText, "");
      char shown[16];
      std::snprintf(shown, sizeof shown, "%08X", c.writes.front().value);
      EXPECT_EQ(dialog.Rows()[static_cast<size_t>(c.row)].value, shown) << "the value read back";
    }
  }
}

TEST(RegistersDialog, RefreshReadsTheValuesAgain) {
  RegisterCard card;
  RegistersDialog dialog(card);
  dialog.Start();
  card.values[{0, 8}] = 0xCAFE;
  EXPECT_EQ(dialog.Rows()[1].value, "00000008");
  dialog.Refresh();
  EXPECT_EQ(dialog.Rows()[1].value, "0000CAFE");
}

}  // namespace
