#include "sim/board_table.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "sim/adapter_board.h"
#include "sim/echo_station.h"
#include "sim/eeprom_file.h"
#include "sim/machine.h"

namespace sim {

namespace {

const std::vector<std::string_view> kBoardKeys = {
    "name", "model", "variant", "phy", "mac", "segment", "revision", "wake_up_lan", "command",
    "io_base", "mem_base", "eeprom", "eeprom_file", "faults"};

const std::vector<std::string_view> kFaultKeys = {
    "config_writable", "config_status", "csr_answers_when_disabled", "csr_writable", "csr_wrong_value",
    "eeprom_stuck", "eeprom_ignores_writes", "eeprom_no_write_protect", "eeprom_never_ready",
    "no_phy", "phy_mirror_stuck", "phy_xtal_unstable", "phy_low_voltage", "phy_wrong_register",
    "link_down", "loopback_drops", "loopback_corrupt_byte", "dma_without_bus_master",
    "rx_crc_error_every"};

std::string Quoted(std::string_view key) { return "\"" + std::string(key) + "\""; }

// A key holding one inline table.
const toml::table* SubTable(const BenchEntry& entry, std::string_view key) {
  const toml::node* n = entry.table().get(key);
  if (n == nullptr) return nullptr;
  if (!n->is_table()) entry.fail(key, Quoted(key) + " must be a table such as { csr = 6, bits = 0x1 }");
  return n->as_table();
}

Dec21143Faults::CsrBits ReadCsrBits(const BenchEntry& faults, std::string_view key) {
  Dec21143Faults::CsrBits out;
  if (const toml::table* t = SubTable(faults, key)) {
    BenchEntry e(faults.context(), *t, {"csr", "bits"});
    out.csr = static_cast<int>(e.integer("csr", 15));
    out.bits = static_cast<uint32_t>(e.integer("bits", 0xFFFFFFFF));
  }
  return out;
}

void ReadFaults(const BenchEntry& board, AdapterBoardConfig& c) {
  const toml::table* t = SubTable(board, "faults");
  if (t == nullptr) return;
  BenchEntry f(board.context(), *t, kFaultKeys);
  BoardFaults& out = c.faults;
  Dec21143Faults& chip = out.chip;

  for (const toml::table* w : f.tables("config_writable")) {
    BenchEntry e(f.context(), *w, {"offset", "bits"});
    const uint64_t offset = e.integer("offset", 0xFC);
    if (offset % 4 != 0) e.fail("offset", "\"offset\" must be a multiple of 4");
    chip.configWritable.push_back({static_cast<uint8_t>(offset), static_cast<uint32_t>(e.integer("bits", 0xFFFFFFFF))});
  }
  chip.statusBits = static_cast<uint16_t>(f.integer("config_status", 0xFFFF, 0));
  if (auto csr = f.optionalInteger("csr_answers_when_disabled", 15)) chip.csrAnswersDisabled = static_cast<int>(*csr);
  chip.csrWritable = ReadCsrBits(f, "csr_writable");
  chip.csrWrongValue = ReadCsrBits(f, "csr_wrong_value");
  chip.loopbackDrops = f.boolean("loopback_drops", false);
  if (auto byte = f.optionalInteger("loopback_corrupt_byte", 0x3FFF)) chip.loopbackCorruptByte = static_cast<int>(*byte);
  chip.dmaWithoutBusMaster = f.boolean("dma_without_bus_master", false);
  chip.rxCrcErrorEvery = static_cast<uint32_t>(f.integer("rx_crc_error_every", 0xFFFFFFFF, 0));

  for (const toml::table* s : f.tables("eeprom_stuck")) {
    BenchEntry e(f.context(), *s, {"word", "bits", "level"});
    const int word = static_cast<int>(e.integer("word", 63));
    const uint16_t bits = static_cast<uint16_t>(e.integer("bits", 0xFFFF));
    if (e.integer("level", 1) != 0) {
      out.eeprom.stuckOr[word] |= bits;
    } else {
      out.eeprom.stuckAnd[word] &= static_cast<uint16_t>(~bits);
    }
  }
  out.eeprom.ignoreWrites = f.boolean("eeprom_ignores_writes", false);
  out.eeprom.noWriteProtect = f.boolean("eeprom_no_write_protect", false);
  out.eeprom.neverReady = f.boolean("eeprom_never_ready", false);

  if (f.has("no_phy")) {
    out.noPhy = f.choice("no_phy", {"ones", "zeros"}, "ones") == "ones" ? Csr9Lines::MdioFault::NothingAttached
                                                                           : Csr9Lines::MdioFault::Shorted;
  }
  out.phy.mirrorStuck = f.boolean("phy_mirror_stuck", false);
  out.phy.xtalUnstable = f.boolean("phy_xtal_unstable", false);
  out.phy.lowVoltage = f.boolean("phy_low_voltage", false);
  out.phy.linkDown = f.boolean("link_down", false);
  if (const toml::table* w = SubTable(f, "phy_wrong_register")) {
    BenchEntry e(f.context(), *w, {"register", "xor"});
    out.phy.wrongRegister = static_cast<int>(e.integer("register", 31));
    out.phy.wrongXor = static_cast<uint16_t>(e.integer("xor", 0xFFFF));
  }
  if (c.phy == BoardPhy::None || out.noPhy != Csr9Lines::MdioFault::None) {
    for (std::string_view key : {"phy_mirror_stuck", "phy_xtal_unstable", "phy_low_voltage", "phy_wrong_register",
                                 "link_down"}) {
      if (f.has(key)) f.fail(key, Quoted(key) + " needs a PHY on the board");
    }
  }
}

SerialEeprom::Words ReadWords(const BenchEntry& entry) {
  const toml::node* n = entry.table().get("eeprom");
  const toml::array* a = n->as_array();
  if (a == nullptr || a->size() != SerialEeprom::kWords) {
    entry.fail("eeprom", "\"eeprom\" must be an array of 64 words");
  }
  SerialEeprom::Words words{};
  for (size_t i = 0; i < a->size(); ++i) {
    const toml::value<int64_t>* v = (*a)[i].as_integer();
    if (v == nullptr || v->get() < 0 || v->get() > 0xFFFF) {
      entry.fail("eeprom", "word " + std::to_string(i) + " of \"eeprom\" is not a 16-bit integer");
    }
    words[i] = static_cast<uint16_t>(v->get());
  }
  return words;
}

// A relative EEPROM file lives beside the bench file.
std::string EepromPath(const BenchContext& context, const std::string& file) {
  namespace fs = std::filesystem;
  const fs::path path(file);
  if (path.is_absolute()) return file;
  return (fs::path(context.name()).parent_path() / path).string();
}

void LoadBoard(BenchContext& context, const BenchEntry& entry) {
  const Bdf at = ReadLocation(entry);
  AdapterBoardConfig c;
  c.name = entry.optionalString("name").value_or("");
  if (!entry.has("model")) entry.fail("missing key \"model\"");
  c.model = entry.choice("model", {"R51", "R83"}, "R83") == "R51" ? BoardModel::R51 : BoardModel::R83;
  c.variant = entry.choice("variant", {"TX", "FX"}, "TX") == "FX" ? BoardVariant::Fx : BoardVariant::Tx;
  const std::string phy = entry.has("phy") ? entry.choice("phy", {"LXT970", "LXT971", "none"}, "") : "";
  c.phy = phy.empty()       ? AdapterBoard::DefaultPhy(c.model, c.variant)
          : phy == "LXT970" ? BoardPhy::Lxt970
          : phy == "LXT971" ? BoardPhy::Lxt971
                            : BoardPhy::None;
  c.mac = {0x02, 0x13, 0xD8, static_cast<uint8_t>(at.bus), static_cast<uint8_t>(at.device),
           static_cast<uint8_t>(at.function)};
  if (auto text = entry.optionalString("mac")) {
    const std::optional<EchoStation::Mac> mac = EchoStation::parseMac(*text);
    if (!mac) entry.fail("mac", "\"mac\" must be an Ethernet address such as \"00:a0:c9:12:34:56\"");
    if ((*mac)[0] & 1) entry.fail("mac", "\"mac\" is a multicast address; a board needs a unicast one");
    c.mac = *mac;
  }
  if (auto revision = entry.optionalInteger("revision", 0xFF)) c.revision = static_cast<uint8_t>(*revision);
  if (entry.has("wake_up_lan")) c.wakeUpLan = entry.boolean("wake_up_lan", false);
  c.command = static_cast<uint16_t>(entry.integer("command", 0xFFFF, 0x0007));
  if (auto base = entry.optionalInteger("io_base", 0xFFFF)) {
    if (*base % 128 != 0) entry.fail("io_base", "\"io_base\" must be a multiple of 128");
    c.ioBase = static_cast<uint32_t>(*base);
  }
  if (auto base = entry.optionalInteger("mem_base", 0xFFFFFFFF)) {
    if (*base % 128 != 0) entry.fail("mem_base", "\"mem_base\" must be a multiple of 128");
    c.memBase = static_cast<uint32_t>(*base);
  }
  if (entry.has("eeprom")) c.eeprom = ReadWords(entry);
  if (auto file = entry.optionalString("eeprom_file")) {
    if (file->empty()) entry.fail("eeprom_file", "\"eeprom_file\" must not be empty");
    c.eepromFile = EepromPath(context, *file);
  } else if (!context.eepromDirectory.empty()) {
    char name[40];
    std::snprintf(name, sizeof name, "eeprom-%02x-%02x-%x.txt", at.bus, at.device, at.function);
    c.eepromFile = (std::filesystem::path(context.eepromDirectory) / name).string();
  }
  ReadFaults(entry, c);

  EthernetSegment* segment = nullptr;
  if (auto name = entry.optionalString("segment")) {
    segment = context.machine().segment(*name);
    if (segment == nullptr) entry.fail("segment", "no [[segment]] named \"" + *name + "\"");
  }

  std::unique_ptr<AdapterBoard> board;
  try {
    board = std::make_unique<AdapterBoard>(c);
  } catch (const EepromFileError& e) {
    entry.fail("eeprom_file", e.what());
  }
  AdapterBoard* placed = board.get();
  context.place(entry.line(), at, std::move(board));
  placed->plugInto(segment);
}

void LoadBoards(BenchContext& context, const std::vector<const toml::table*>& tables) {
  const auto keys = Keys({kLocationKeys, kBoardKeys});
  for (const toml::table* t : tables) {
    BenchEntry entry(context, *t, keys);
    LoadBoard(context, entry);
  }
}

}  // namespace

BenchTableKind BoardTableKind() { return {"board", 35, true, LoadBoards}; }

}  // namespace sim
