// The DEC 21143 card on simulated R51 and R83 boards: identification, the
// register sets and their access, the EEPROM fields, reset, PHY identification
// and tests, and the packet engine's start and data path.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "adapter_bench.h"
#include "cards/r51_card.h"
#include "cards/r83_card.h"
#include "cards/unknown_card.h"
#include "hw/adapter.h"
#include "hw/r83drv.h"

namespace {

// Boards of every model, variant and PHY, each at its own device number.
constexpr char kBoards[] = R"toml(
[machine]
description = "card tests"

[[segment]]
name = "lan"
echo_station = "02:00:00:00:00:ee"

[[board]]
device = 3
model = "R51"
variant = "TX"
mac = "02:13:d8:00:03:00"
segment = "lan"

[[board]]
device = 4
model = "R51"
variant = "FX"
mac = "02:13:d8:00:04:00"
segment = "lan"

[[board]]
device = 5
model = "R83"
variant = "TX"
mac = "02:13:d8:00:05:00"
segment = "lan"

[[board]]
device = 6
model = "R83"
variant = "FX"
mac = "02:13:d8:00:06:00"
segment = "lan"

[[board]]
device = 7
model = "R83"
variant = "FX"
phy = "LXT971"
mac = "02:13:d8:00:07:00"

[[board]]
device = 8
model = "R83"
variant = "TX"
phy = "none"
mac = "02:13:d8:00:08:00"
)toml";

constexpr int kR51Tx = 3, kR51Fx = 4, kR83Tx = 5, kR83Fx = 6, kR83FxLxt971 = 7, kNoPhy = 8;

int NamedPositions(const RegisterSet& set) {
  int named = 0;
  for (int i = 0; i < set.count; ++i) named += set.names[i] != nullptr;
  return named;
}

TEST(Dec21143Card, FactoryMakesTheModelClassOfEachBoard) {
  {
    AdapterBench bench;  // the built-in bench
    EXPECT_NE(dynamic_cast<R83_Card*>(bench.Select(0, 3)), nullptr);
    EXPECT_NE(dynamic_cast<R51_Card*>(bench.Select(0, 4)), nullptr);
    EXPECT_NE(dynamic_cast<R83_Card*>(bench.Select(1, 0)), nullptr);
    bench.system().SelectDevice(0, 0);  // host bridge
    EXPECT_NE(dynamic_cast<UnknownCard*>(bench.system().card), nullptr);
  }
  {
    AdapterBench bench({}, kDetectR51);  // forced: even the R83 and the host bridge
    EXPECT_NE(dynamic_cast<R51_Card*>(bench.Select(0, 3)), nullptr);
    EXPECT_NE(dynamic_cast<R51_Card*>(bench.Select(0, 0)), nullptr);
  }
  {
    AdapterBench bench({}, kDetectR83);
    EXPECT_NE(dynamic_cast<R83_Card*>(bench.Select(0, 4)), nullptr);
  }
  {
    AdapterBench bench({}, kDetectUnknown);
    bench.system().SelectDevice(0, 3);
    EXPECT_NE(dynamic_cast<UnknownCard*>(bench.system().card), nullptr);
  }
}

TEST(Dec21143Card, IdentifiesEachBoard) {
  struct Case {
    int device;
    const char* name;
    uint16_t subsystem;
    uint8_t revision;
    uint32_t phy;
    bool fiber;
  };
  const Case cases[] = {
      {kR51Tx, "R51", 0x0100, 0x30, R83_PHY_LXT970, false},
      {kR51Fx, "R51", 0x0100, 0x30, R83_PHY_LXT970, true},
      {kR83Tx, "R83", 0x0430, 0x41, R83_PHY_LXT971, false},
      {kR83Fx, "R83", 0x0430, 0x41, R83_PHY_LXT970, true},
      {kR83FxLxt971, "R83", 0x0430, 0x41, R83_PHY_LXT971, true},
  };
  AdapterBench bench(kBoards);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.device);
    DEC21143_Card* card = bench.Select(0, c.device);
    ASSERT_NE(card, nullptr);
    EXPECT_STREQ(card->Name(), c.name);
    EXPECT_EQ(card->VendorId(), 0x1011);
    EXPECT_EQ(card->DeviceId(), 0x0019);
    EXPECT_EQ(card->SubsystemVendorId(), 0x13D8);
    EXPECT_EQ(card->SubsystemId(), c.subsystem);
    EXPECT_EQ(card->BaseClass(), 0x02);
    EXPECT_EQ(card->SubClass(), 0x00);
    EXPECT_EQ(card->RevisionId(), c.revision);
    EXPECT_EQ(card->PhyId(), c.phy);
    EXPECT_EQ(card->adapter->phykind, c.phy);
    EXPECT_EQ(card->IsFiber(), c.fiber);
    EXPECT_FALSE(card->Is64BitCapable());
    EXPECT_FALSE(card->Is64BitSlot());
    EXPECT_FALSE(card->HasFlash());
    EXPECT_EQ(card->PortCount(), 1);
    card->SetPort(2);
    EXPECT_EQ(card->port, 2);
    EXPECT_EQ(card->GetPort(), 0);
    EXPECT_EQ(card->adapter->host, &bench.system());
  }
}

TEST(Dec21143Card, FiberIsTheMissing100BaseTxAdvertisement) {
  AdapterBench bench(kBoards);
  DEC21143_Card* card = bench.Select(0, kR83Tx);
  card->WritePhyRegister(4, 0x0001);
  EXPECT_TRUE(card->IsFiber());
  card->WritePhyRegister(4, 0x01E1);
  EXPECT_FALSE(card->IsFiber());
  card->WritePhyRegister(4, 0x0081);
  EXPECT_FALSE(card->IsFiber());
}

TEST(Dec21143Card, StationAddressComesFromWords42To44) {
  AdapterBench bench(kBoards);
  DEC21143_Card* card = bench.Select(0, kR83Tx);
  EXPECT_EQ(card->MacAddress().Format(), "02:13:d8:00:05:00");
  card->WriteRegister(3, 42, 0x1234);
  card->WriteRegister(3, 43, 0x5678);
  card->WriteRegister(3, 44, 0x9ABC);
  EXPECT_EQ(card->MacAddress().Format(), "12:34:56:78:9a:bc");
  // The IEEE copy in words 10 to 12 is not where the card looks.
  EXPECT_EQ(bench.Board(0, kR83Tx)->eeprom().words()[10], 0x1302);
  EXPECT_EQ(card->VirtualMacAddress().Format(), "00:00:00:ff:ff:ff");
  EXPECT_EQ(card->VirtualMacAddress().GetValue(), 0xFFFFFFu);
}

TEST(Dec21143Card, RegisterSetsOfTheDec21143) {
  AdapterBench bench(kBoards);
  DEC21143_Card* card = bench.Select(0, kR83Tx);
  const RegisterSet* sets = card->RegisterSets();
  struct Expected {
    const char* name;
    int count, width, stride, named;
  };
  const Expected expected[] = {
      {"PCI Configuration", 64, 32, 4, 19},
      {"DEC 21143 MAC", 16, 32, 8, 16},
      {"Level1 PHY", 21, 16, 1, 12},
      {"Serial EEPROM", 64, 16, 1, 35},
  };
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    ASSERT_NE(sets[i].name, nullptr);
    EXPECT_STREQ(sets[i].name, expected[i].name);
    EXPECT_EQ(sets[i].count, expected[i].count);
    EXPECT_EQ(sets[i].width, expected[i].width);
    EXPECT_EQ(sets[i].stride, expected[i].stride);
    EXPECT_EQ(NamedPositions(sets[i]), expected[i].named);
  }
  EXPECT_EQ(sets[4].name, nullptr);

  struct Name {
    int set, position;
    const char* text;
  };
  const Name names[] = {
      {0, 0, "CFID: Identification"},
      {0, 13, "CCAP: Capabilities Pointer"},
      {0, 17, "CWUA0: Configuration Wake-Up-LAN Address 0 (D,C,B,A)"},
      {0, 21, "CWUC: Configuration Wake-Up Command"},
      {0, 55, "CCID: Capability ID"},
      {0, 56, "CPMC: Power Management Control and Status"},
      {1, 9, "CSR9: Boot ROM, serial ROM, and MII management"},
      {1, 11, "CSR11: General-purpose timer and interrupt mitigation control"},
      {1, 15, "CSR15: SIA and general-purpose port"},
      {2, 6, "Auto-Negotiation Expansion Register"},
      {2, 16, "Mirror Register"},
      {2, 20, "Chip Status Register"},
      {3, 8, "Func0_HwOptions & ID_BLOCK_CRC"},
      {3, 10, "IEEE Network Address"},
      {3, 12, "IEEE Network Address"},
      {3, 25, "MII Connector Interrupt"},
      {3, 44, "Orvane Ethernet Address"},
      {3, 52, "Orvane NIC Type"},
      {3, 63, "EEPROM CRC"},
  };
  for (const Name& n : names) {
    ASSERT_NE(sets[n.set].names[n.position], nullptr) << n.text;
    EXPECT_STREQ(sets[n.set].names[n.position], n.text);
  }
  for (int unnamed : {6, 14, 22, 54, 57, 63}) EXPECT_EQ(sets[0].names[unnamed], nullptr) << unnamed;
  for (int unnamed : {7, 15}) EXPECT_EQ(sets[2].names[unnamed], nullptr) << unnamed;
  for (int unnamed : {4, 26, 41, 53, 62}) EXPECT_EQ(sets[3].names[unnamed], nullptr) << unnamed;

  // The R83 shows the same sets.
  EXPECT_EQ(bench.Select(0, kR83Fx)->RegisterSets(), sets);
}

TEST(Dec21143Card, RegisterSetsOfTheR51) {
  AdapterBench bench(kBoards);
  const RegisterSet* sets = bench.Select(0, kR51Tx)->RegisterSets();
  EXPECT_STREQ(sets[0].name, "PCI Configuration");
  EXPECT_EQ(sets[0].count, 17);
  EXPECT_EQ(NamedPositions(sets[0]), 10);
  EXPECT_STREQ(sets[0].names[11], "SSID: Subsystem ID");
  EXPECT_STREQ(sets[0].names[16], "CFDD: Device and Driver area");
  for (int unnamed : {6, 10, 13, 14}) EXPECT_EQ(sets[0].names[unnamed], nullptr) << unnamed;
  EXPECT_STREQ(sets[1].name, "DEC 21140 MAC");
  EXPECT_EQ(sets[1].count, 16);
  EXPECT_EQ(sets[1].stride, 8);
  EXPECT_EQ(NamedPositions(sets[1]), 14);
  EXPECT_STREQ(sets[1].names[10], "CSR10: Boot ROM programming address");
  EXPECT_STREQ(sets[1].names[11], "CSR11: General-purpose timer");
  EXPECT_STREQ(sets[1].names[12], "CSR12: General-purpose port");
  EXPECT_STREQ(sets[1].names[15], "CSR15: Watchdog timer");
  EXPECT_STREQ(sets[2].name, "Level1 PHY");
  EXPECT_EQ(sets[2].count, 21);
  EXPECT_EQ(NamedPositions(sets[2]), 12);
  EXPECT_EQ(sets[3].name, nullptr);
}

TEST(Dec21143Card, ReadsAndWritesEachSpace) {
  AdapterBench bench(kBoards);
  DEC21143_Card* card = bench.Select(0, kR83Tx);
  sim::SerialEeprom& eeprom = bench.Board(0, kR83Tx)->eeprom();

  EXPECT_EQ(card->ReadRegister(0, 0x00), 0x00191011u);
  card->WriteRegister(0, 0x0C, 0x00000010);  // cache-line size
  EXPECT_EQ(card->ReadRegister(0, 0x0C) & 0xFF, 0x10u);
  EXPECT_EQ(card->ReadRegister(1, 0x08), 0xFFFFFFFFu);  // CSR1 reads all ones
  card->WriteRegister(1, 0x38, 0x00000001);              // CSR7
  EXPECT_EQ(card->ReadRegister(1, 0x38) & 0xFFFF, 0x0001u);
  EXPECT_EQ(card->ReadRegister(2, 2), 0x0013u);
  card->WriteRegister(2, 4, 0xABCD0021);  // only the low 16 bits go to the PHY
  EXPECT_EQ(card->ReadRegister(2, 4), 0x0021u);
  EXPECT_EQ(card->ReadRegister(3, 63), eeprom.words()[63]);
  EXPECT_EQ(card->ReadRegister(3, 1), 0x0430u);
  EXPECT_EQ(card->ReadRegister(7, 0), 0u);
  EXPECT_EQ(card->ReadRegister(-1, 0), 0u);

  // An EEPROM word write opens and closes the write enable around itself.
  const uint16_t word6 = eeprom.words()[6];
  card->WriteRegister(3, 5, 0x12345678);
  EXPECT_EQ(eeprom.words()[5], 0x5678);
  card->WriteEeprom(6, static_cast<uint16_t>(~word6));
  EXPECT_EQ(eeprom.words()[6], word6);
  card->EnableEepromWrite(true);
  card->WriteEeprom(6, 0xBEEF);
  card->EnableEepromWrite(false);
  EXPECT_EQ(card->ReadEeprom(6), 0xBEEF);

  card->WriteRegister(7, 0x0C, 0);  // no such set: nothing changes
  EXPECT_EQ(card->ReadRegister(0, 0x0C) & 0xFF, 0x10u);
}

TEST(Dec21143Card, ResetRestoresControllerPhyAndPowerState) {
  AdapterBench bench(kBoards);
  DEC21143_Card* card = bench.Select(0, kR83Tx);
  const uint32_t csr7 = card->ReadRegister(1, 0x38);
  const uint16_t control = card->ReadPhyRegister(0);
  card->WriteRegister(1, 0x38, 0x0000FFFF);
  card->WritePhyRegister(0, 0x0000);
  card->WriteRegister(0, 0x40, 0x0000AB00);  // CFDD driver area
  ASSERT_NE(card->ReadRegister(0, 0x40), 0u);

  EXPECT_EQ(card->Reset(), nullptr);
  EXPECT_EQ(card->ReadRegister(1, 0x38), csr7);
  EXPECT_EQ(card->ReadPhyRegister(0), control);
  EXPECT_EQ(card->ReadRegister(0, 0x40), 0u);

  // A sleeping part, which answers only configuration cycles, wakes up.
  card->WriteRegister(0, 0x40, 0x80000000);
  EXPECT_EQ(card->ReadRegister(1, 0x38), 0xFFFFFFFFu);
  EXPECT_EQ(card->Reset(), nullptr);
  EXPECT_EQ(card->ReadRegister(0, 0x40), 0u);
  EXPECT_EQ(card->ReadRegister(1, 0x38), csr7);
  EXPECT_EQ(card->ReadPhyRegister(2), 0x0013u);
}

TEST(Dec21143Card, EepromImageDefaultsOfEachModel) {
  struct Case {
    int device;
    uint16_t subsystem, board;
    uint16_t flags[5];
    uint16_t connection, media, nway, threshold;
  };
  const Case cases[] = {
      {kR51Tx, 0x0102, 0x0006, {0, 0, 0, 0, 1}, 0x0800, 0x7800, 0x01E0, 0x1800},
      {kR51Fx, 0x0102, 0x0006, {1, 0, 1, 0, 0}, 0x0010, 0x6000, 0x0180, 0x0000},
      {kR83Tx, 0x0430, 0x0400, {0, 0, 0, 0, 1}, 0x0800, 0x7800, 0x01E0, 0x1800},
      {kR83Fx, 0x0432, 0x0406, {1, 0, 1, 0, 0}, 0x0010, 0x6000, 0x0180, 0x0000},
  };
  AdapterBench bench(kBoards);
  EthernetAddress address;
  address.Parse("00:40:05:12:34:56");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.device);
    uint16_t image[64];
    for (int i = 0; i < 64; ++i) image[i] = static_cast<uint16_t>(0xA500 + i);  // marks what stays
    bench.Select(0, c.device)->BuildEepromImage(image, address);
    EXPECT_EQ(image[0], 0x13D8);
    EXPECT_EQ(image[1], c.subsystem);
    EXPECT_EQ(image[46], c.board);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(image[47 + i], c.flags[i]) << "word " << 47 + i;
    EXPECT_EQ(image[52], 0x0033);
    EXPECT_EQ(image[9], 0x0104);
    EXPECT_EQ(image[10], 0x4000);
    EXPECT_EQ(image[11], 0x1205);
    EXPECT_EQ(image[12], 0x5634);
    EXPECT_EQ(image[15], c.connection);
    EXPECT_EQ(image[21], c.media);
    EXPECT_EQ(image[22], c.nway);
    EXPECT_EQ(image[24], c.threshold);
    EXPECT_EQ(image[25] & 0x00FF, 0);
    EXPECT_EQ(image[25] >> 8, 0xA5);  // byte 51 is not touched
    for (int kept : {2, 3, 8, 26, 41, 42, 45, 53, 63}) EXPECT_EQ(image[kept], 0xA500 + kept) << "word " << kept;
  }
}

// ---- PHY identification and tests ----

TEST(Dec21143Card, PhyTestsOfGoodPhysAndTheirDispatch) {
  AdapterBench bench(kBoards);
  for (int device : {kR51Tx, kR51Fx, kR83Tx, kR83Fx}) {
    DEC21143_Card* card = bench.Select(0, device);
    EXPECT_EQ(card->RunPhyTest(), nullptr) << device;
    EXPECT_TRUE(card->phyIdentified);
  }
  // What the tests leave behind: the mirror at 0xAAAA, the LXT971's LED setting.
  EXPECT_EQ(bench.Select(0, kR51Tx)->TestLxt970(), nullptr);
  EXPECT_EQ(bench.Select(0, kR51Tx)->ReadPhyRegister(16), 0xAAAA);
  EXPECT_EQ(bench.Select(0, kR83Tx)->TestLxt971(), nullptr);
  EXPECT_EQ(bench.Select(0, kR83Tx)->ReadPhyRegister(20), 0x2142);

  // Without a PHY the management line reads all ones.
  DEC21143_Card* none = bench.Select(0, kNoPhy);
  EXPECT_EQ(none->PhyId(), 0xFFFFFFF0u);
  EXPECT_STREQ(none->RunPhyTest(), "Unknown Phy Type!");

  // Once identified the card keeps what the record says, as the engine leaves it
  // for a board without an MII PHY.
  DEC21143_Card* card = bench.Select(0, kR83Tx);
  ASSERT_EQ(card->PhyId(), R83_PHY_LXT971);
  card->adapter->phykind = R83_PHY_NONE;
  EXPECT_EQ(card->PhyId(), R83_PHY_NONE);
  EXPECT_STREQ(card->RunPhyTest(), "Unknown Phy Type!");
}

TEST(Dec21143Card, PhyTestMessages) {
  AdapterBench bench(kBoards);
  // LXT970, twisted pair: only bits 14, 12, 11, 10 and 7 of the control register count.
  DEC21143_Card* lxt970 = bench.Select(0, kR51Tx);
  lxt970->WritePhyRegister(0, 0x3100);
  EXPECT_EQ(lxt970->TestLxt970(), nullptr);
  lxt970->WritePhyRegister(0, 0x1400);  // isolated
  EXPECT_STREQ(lxt970->TestLxt970(), "LXT970 register 00 has wrong value 1400");
  lxt970->WritePhyRegister(19, 0x0010);
  lxt970->WritePhyRegister(0, 0x1000);
  EXPECT_STREQ(lxt970->TestLxt970(), "LXT970 register 13 has wrong value 0010");

  // LXT971 register numbers are decimal.
  DEC21143_Card* lxt971 = bench.Select(0, kR83Tx);
  lxt971->WritePhyRegister(16, 0x0000);
  EXPECT_STREQ(lxt971->TestLxt971(), "LXT971 register 16 has wrong value 0000");

  // The LXT971 test holds both variants to the twisted-pair values, so a
  // fibre LXT971 (forced 100 Mb/s, no auto-negotiation) fails on the control
  // register.
  EXPECT_STREQ(bench.Select(0, kR83FxLxt971)->RunPhyTest(), "LXT971 register 0 has wrong value 2000");
}

// ---- Packet engine ----

std::vector<uint8_t> Frame(const EthernetAddress& to, const EthernetAddress& from, int length) {
  std::vector<uint8_t> frame(static_cast<size_t>(length));
  for (int i = 0; i < 6; ++i) {
    frame[i] = to.GetByte(i);
    frame[6 + i] = from.GetByte(i);
  }
  frame[12] = 0x88;
  frame[13] = 0xB5;
  for (int i = 14; i < length; ++i) frame[i] = static_cast<uint8_t>(i * 7);
  return frame;
}

// Polls for a frame for up to about a simulated second.
bool ReceiveWithin(DEC21143_Card& card, PCI_System& system, uint8_t* buffer, int* length) {
  for (int i = 0; i < 1000; ++i) {
    if (card.ReceivePacket(buffer, length)) return true;
    system.DelayMicroseconds(1000);
  }
  return false;
}

TEST(Dec21143Card, PacketEngineEchoesThroughTheStation) {
  AdapterBench bench(kBoards);
  for (int device : {kR83Tx, kR83Fx, kR51Tx}) {
    SCOPED_TRACE(device);
    DEC21143_Card* card = bench.Select(0, device);
    ASSERT_NO_THROW(card->OpenPacketEngine());
    EthernetAddress station;
    station.Parse("02:00:00:00:00:ee");
    const std::vector<uint8_t> sent = Frame(station, card->MacAddress(), 1514);
    card->SendPacket(sent.data(), static_cast<int>(sent.size()));

    uint8_t buffer[1518];
    int length = -1;
    ASSERT_TRUE(ReceiveWithin(*card, bench.system(), buffer, &length));
    ASSERT_EQ(length, 1514);
    EXPECT_EQ(std::memcmp(buffer, sent.data() + 6, 6), 0);  // addresses exchanged
    EXPECT_EQ(std::memcmp(buffer + 6, sent.data(), 6), 0);
    EXPECT_EQ(std::memcmp(buffer + 12, sent.data() + 12, sent.size() - 12), 0);

    length = -1;
    EXPECT_FALSE(card->ReceivePacket(buffer, &length));
    EXPECT_EQ(length, -1);  // untouched
    card->ClosePacketEngine();
    EXPECT_EQ(card->adapter->td, nullptr);
  }
}

TEST(Dec21143Card, FibreBoardsAreSetTo100MbFullDuplex) {
  AdapterBench bench(kBoards);
  DEC21143_Card* fx = bench.Select(0, kR83Fx);
  fx->OpenPacketEngine();
  EXPECT_EQ(fx->ReadPhyRegister(4) & 0x01E1, 0x0101);
  EXPECT_EQ(fx->ReadPhyRegister(0) & 0x3100, 0x2100);
  EXPECT_EQ(fx->adapter->filter, R83_FILTER_STATION);
  fx->ClosePacketEngine();

  DEC21143_Card* tx = bench.Select(0, kR83Tx);
  tx->OpenPacketEngine();
  EXPECT_EQ(tx->ReadPhyRegister(4), 0x01E1);  // auto-negotiation left as it is
  EXPECT_EQ(tx->adapter->filter, R83_FILTER_STATION);
  tx->ClosePacketEngine();
}

TEST(Dec21143Card, EngineFailuresThrowWithTheReason) {
  const std::string prefix = "Error initializing R83 device driver: ";
  {
    AdapterBench bench(kBoards);
    DEC21143_Card* card = bench.Select(0, kR83Tx);
    bench.system().dmaSize = 0x1000;  // too small for the rings
    try {
      card->OpenPacketEngine();
      FAIL() << "the rings cannot fit";
    } catch (const char* text) {
      EXPECT_EQ(std::string(text).rfind(prefix, 0), 0u) << text;
      EXPECT_GT(std::strlen(text), prefix.size());
    }
    EXPECT_EQ(card->adapter->td, nullptr);
  }
  {
    // A controller that never holds its operation mode.
    AdapterBench bench(OneBoardBench("R83", "faults = { csr_wrong_value = { csr = 6, bits = 0x00040000 } }"));
    DEC21143_Card* card = bench.Select(0, 3);
    try {
      card->OpenPacketEngine();
      FAIL() << "the chip does not take its mode";
    } catch (const char* text) {
      EXPECT_STREQ(text, "Error initializing R83 device driver: DEC 21143 does not take its bus and operation modes");
    }
    // Nothing is left allocated for a close that callers never make.
    EXPECT_EQ(card->adapter->td, nullptr);
    EXPECT_EQ(card->adapter->rd, nullptr);
  }
}

TEST(Dec21143Card, PacketOperationsWithoutAnEngine) {
  AdapterBench bench(kBoards);
  DEC21143_Card* card = bench.Select(0, kR83Tx);
  const std::vector<uint8_t> frame(64, 0x55);
  card->SendPacket(frame.data(), 64);
  uint8_t buffer[1518];
  int length = -1;
  EXPECT_FALSE(card->ReceivePacket(buffer, &length));
  EXPECT_EQ(length, -1);
  card->ClosePacketEngine();
  EXPECT_EQ(bench.Board(0, kR83Tx)->stats().framesSent, 0u);
}

TEST(Dec21143Card, SendGivesUpOnAStoppedChip) {
  AdapterBench bench(kBoards);
  DEC21143_Card* card = bench.Select(0, kR83Tx);
  card->OpenPacketEngine();
  card->WriteRegister(0, 0x04, card->ReadRegister(0, 0x04) & ~0x4u);  // no more DMA
  const std::vector<uint8_t> frame(64, 0x55);
  // Fifteen descriptors fill; the sixteenth frame finds none and is dropped.
  for (int i = 0; i < 16; ++i) card->SendPacket(frame.data(), 64);
  EXPECT_EQ(card->adapter->txfree, 0u);
  card->ClosePacketEngine();
}

}  // namespace
