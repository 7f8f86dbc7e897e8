#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "sim/bench.h"
#include "sim/bench_registry.h"
#include "sim/pci_bridge.h"
#include "sim/pci_function.h"

namespace {

std::string LoadError(const std::string& text) {
  try {
    sim::LoadBenchText(text, "t.toml");
  } catch (const sim::BenchError& e) {
    return e.what();
  }
  return "(loaded)";
}

struct BrokenBench {
  const char* what;
  const char* text;
  const char* error;
};

const BrokenBench kBroken[] = {
    {"unknown key", "[[function]]\ndevice = 3\nvenodr = 0x1011\n", "t.toml:3: unknown key \"venodr\""},
    {"unknown table", "[machine]\n[[boards]]\ndevice = 3\n", "t.toml:2: unknown table \"boards\""},
    {"unknown top-level key", "colour = 1\n", "t.toml:1: unknown key \"colour\""},
    {"unknown machine key", "[machine]\ndma = 0\n", "t.toml:2: unknown key \"dma\""},
    {"unknown BAR key", "[[function]]\ndevice = 3\nvendor = 1\ndevice_id = 2\n"
                        "bars = [ { index = 0, type = \"io\", size = 16, sise = 1 } ]\n",
     "t.toml:5: unknown key \"sise\""},
    {"string for a number", "[[function]]\ndevice = 3\nvendor = \"intel\"\n",
     "t.toml:3: \"vendor\" must be an integer, not a string"},
    {"float for a number", "[[function]]\ndevice = 3.0\n",
     "t.toml:2: \"device\" must be an integer, not a floating-point number"},
    {"bus above 255", "[[function]]\nbus = 256\ndevice = 0\n", "t.toml:2: \"bus\" = 256 is out of range (0 to 255)"},
    {"device above 31", "[[function]]\ndevice = 32\n", "t.toml:2: \"device\" = 32 is out of range (0 to 31)"},
    {"negative device", "[[function]]\ndevice = -1\n", "t.toml:2: \"device\" = -1 is out of range (0 to 31)"},
    {"function above 7", "[[function]]\ndevice = 1\nfunction = 8\n",
     "t.toml:3: \"function\" = 8 is out of range (0 to 7)"},
    {"vendor above 0xFFFF", "[[function]]\ndevice = 1\nvendor = 0x12345\n",
     "t.toml:3: \"vendor\" = 0x12345 is out of range (0 to 0xffff)"},
    {"class above 24 bits", "[[function]]\ndevice = 1\nvendor = 1\ndevice_id = 1\nclass = 0x1000000\n",
     "t.toml:5: \"class\" = 0x1000000 is out of range (0 to 0xffffff)"},
    {"missing vendor", "\n[[function]]\ndevice = 1\ndevice_id = 1\n", "t.toml:2: missing key \"vendor\""},
    {"missing device", "[[function]]\nvendor = 1\n", "t.toml:1: missing key \"device\""},
    {"BAR size not a power of two", "[[function]]\ndevice = 1\nvendor = 1\ndevice_id = 1\nbars = [\n"
                                    "  { index = 0, type = \"io\", size = 128 },\n"
                                    "  { index = 1, type = \"mem\", size = 100 },\n]\n",
     "t.toml:7: BAR 1 size 100 is not a power of two"},
    {"BAR type", "[[function]]\ndevice = 1\nvendor = 1\ndevice_id = 1\n"
                 "bars = [ { index = 0, type = \"memory\", size = 128 } ]\n",
     "t.toml:5: \"type\" must be \"io\" or \"mem\", not \"memory\""},
    {"BAR twice", "[[function]]\ndevice = 1\nvendor = 1\ndevice_id = 1\n"
                  "bars = [ { index = 0, type = \"io\", size = 128 },\n"
                  "         { index = 0, type = \"io\", size = 128 } ]\n",
     "t.toml:6: BAR 0 defined twice"},
    {"BAR beyond a bridge header", "[[bridge]]\ndevice = 1\nvendor = 1\ndevice_id = 1\nsecondary = 1\n"
                                   "bars = [ { index = 2, type = \"mem\", size = 16 } ]\n",
     "t.toml:6: BAR index 2 out of range (this header has 2 BARs)"},
    {"config offset", "[[function]]\ndevice = 1\nvendor = 1\ndevice_id = 1\n"
                      "config = [ { offset = 0x41, value = 1 } ]\n",
     "t.toml:5: \"offset\" must be a multiple of 4"},
    {"bridge subsystem", "[[bridge]]\ndevice = 1\nvendor = 1\ndevice_id = 1\nsecondary = 1\nsubsystem_id = 5\n",
     "t.toml:6: bridges (header type 1) have no subsystem IDs"},
    {"single [function] table", "[function]\ndevice = 1\n",
     "t.toml:1: \"function\" must be written as [[function]] tables"},
    {"dma_base alignment", "[machine]\ndma_base = 0x200800\n",
     "t.toml:2: \"dma_base\" must be page aligned (a multiple of 0x1000)"},
    {"dma_base above 4 GiB", "[machine]\ndma_base = 0xFFFFF000\n",
     "t.toml:2: the 64 KiB DMA block must lie below 4 GiB"},
    {"duplicate function",
     "[[function]]\ndevice = 3\nvendor = 1\ndevice_id = 1\n\n[[function]]\ndevice = 3\nvendor = 2\ndevice_id = 2\n",
     "t.toml:6: duplicate function 00:03.0 (first at line 1)"},
    {"bridge loop",
     "[[bridge]]\ndevice = 1\nvendor = 1\ndevice_id = 1\nsecondary = 1\n"
     "[[bridge]]\nbus = 1\ndevice = 0\nvendor = 1\ndevice_id = 1\nsecondary = 1\n",
     "t.toml:11: bridge 01:00.0 forwards to bus 1, which is not above its own bus 1 (a bridge loop)"},
    {"subordinate below secondary",
     "[[bridge]]\ndevice = 1\nvendor = 1\ndevice_id = 1\nsecondary = 3\nsubordinate = 2\n",
     "t.toml:6: \"subordinate\" must not be below \"secondary\""},
    {"overlapping bridges",
     "[[bridge]]\ndevice = 0x1e\nvendor = 1\ndevice_id = 1\nsecondary = 1\nsubordinate = 2\n"
     "[[bridge]]\ndevice = 0x1f\nvendor = 1\ndevice_id = 1\nsecondary = 2\nsubordinate = 3\n",
     "t.toml:7: bridge 00:1f.0 range 02-03 overlaps bridge 00:1e.0 (01-02)"},
    {"bridge beyond its parent",
     "[[bridge]]\nbus = 1\ndevice = 2\nvendor = 1\ndevice_id = 1\nsecondary = 2\nsubordinate = 4\n"
     "[[bridge]]\ndevice = 0x1e\nvendor = 1\ndevice_id = 1\nsecondary = 1\nsubordinate = 3\n",
     "t.toml:1: bridge 01:02.0 range 02-04 reaches beyond its parent bridge 00:1e.0 (01-03)"},
    {"function on an unreached bus",
     "[[bridge]]\ndevice = 1\nvendor = 1\ndevice_id = 1\nsecondary = 1\n"
     "[[function]]\nbus = 5\ndevice = 0\nvendor = 1\ndevice_id = 1\n",
     "t.toml:6: bus 05 is not reached by any bridge"},
    {"no room for a BAR",
     "[[function]]\ndevice = 1\nvendor = 1\ndevice_id = 1\n"
     "bars = [ { index = 0, type = \"mem\", size = 0x10000000 } ]\n",
     "t.toml:1: no room left for BAR 0 of 00:01.0 in memory space"},
};

TEST(BenchFile, BrokenFilesAreRefusedWithFileAndLine) {
  for (const BrokenBench& b : kBroken) EXPECT_EQ(LoadError(b.text), b.error) << b.what;
}

TEST(BenchFile, SyntaxErrorsNameTheLine) {
  const std::string error = LoadError("[[function]]\ndevice = 3\nvendor = \n");
  EXPECT_EQ(error.rfind("t.toml:3: ", 0), 0u) << error;
  EXPECT_GT(error.size(), std::string("t.toml:3: ").size());
  const std::string duplicate = LoadError("[[function]]\ndevice = 3\ndevice = 4\n");
  EXPECT_EQ(duplicate.rfind("t.toml:3: ", 0), 0u) << duplicate;
}

TEST(BenchFile, MissingFile) {
  try {
    sim::LoadBenchFile("/nonexistent/bench.toml");
    ADD_FAILURE() << "loaded";
  } catch (const sim::BenchError& e) {
    EXPECT_STREQ(e.what(), "/nonexistent/bench.toml: cannot open the file");
  }
}

TEST(BenchFile, FunctionKeysReachTheConfigSpace) {
  auto machine = sim::LoadBenchText(R"(
[machine]
dma_base = 0x00400000

[[bridge]]
device = 2
vendor = 0x104c
device_id = 0xac23
secondary = 3
subordinate = 4

[[function]]
bus = 3
device = 7
function = 2
vendor = 0x1011
device_id = 0x0009
class = 0x020000
revision = 0x20
header_type = 0x00
subsystem_vendor = 0x13d8
subsystem_id = 0x0430
status = 0x0280
bars = [
  { index = 0, type = "io", size = 128, base = 0xe000 },
  { index = 1, type = "mem", size = 0x100000, prefetchable = true },
]
config = [ { offset = 0x40, value = 0x80000001, writable = 0x0000ffff, w1c = 0x80000000 } ]
)",
                                    "keys.toml");
  EXPECT_EQ(machine->dmaPhysical(), 0x00400000u);
  EXPECT_EQ(machine->configRead(0, 2, 0, 0x18) & 0xFFFFFF, 0x040300u);
  ASSERT_NE(machine->functionAt(3, 7, 2), nullptr);
  EXPECT_EQ(machine->configRead(3, 7, 2, 0x00), 0x00091011u);
  EXPECT_EQ(machine->configRead(3, 7, 2, 0x04), 0x02800003u);  // decoding on for the BARs given
  EXPECT_EQ(machine->configRead(3, 7, 2, 0x08), 0x02000020u);
  EXPECT_EQ(machine->configRead(3, 7, 2, 0x10), 0xE001u);
  EXPECT_EQ(machine->configRead(3, 7, 2, 0x14), 0xF0000008u);
  EXPECT_EQ(machine->configRead(3, 7, 2, 0x2C), 0x043013D8u);
  machine->configWrite(3, 7, 2, 0x40, 0xFFFFFFFF);
  EXPECT_EQ(machine->configRead(3, 7, 2, 0x40), 0x0000FFFFu);
}

struct Expected {
  sim::Bdf at;
  uint32_t id, classRev, subsystem;
  uint8_t headerType;
};

TEST(BuiltinBench, Contents) {
  auto machine = sim::BuiltinBench();
  const Expected expected[] = {
      {{0, 0x00, 0}, 0x12378086, 0x06000002, 0x00000000, 0x00},
      {{0, 0x01, 0}, 0x70008086, 0x06010000, 0x00000000, 0x80},
      {{0, 0x01, 1}, 0x70108086, 0x01018000, 0x00000000, 0x00},
      {{0, 0x02, 0}, 0x11111234, 0x03000002, 0x11001AF4, 0x00},
      {{0, 0x03, 0}, 0x00191011, 0x02000041, 0x043013D8, 0x00},
      {{0, 0x04, 0}, 0x00191011, 0x02000041, 0x010013D8, 0x00},
      {{0, 0x1E, 0}, 0x244E8086, 0x06040001, 0x00000000, 0x01},
      {{1, 0x00, 0}, 0x00191011, 0x02000041, 0x043013D8, 0x00},
  };
  ASSERT_EQ(machine->functions().size(), std::size(expected));
  for (const Expected& e : expected) {
    const sim::Bdf at = e.at;
    SCOPED_TRACE(at.str());
    EXPECT_EQ(machine->configRead(at.bus, at.device, at.function, 0x00), e.id);
    EXPECT_EQ(machine->configRead(at.bus, at.device, at.function, 0x08), e.classRev);
    EXPECT_EQ(machine->configRead(at.bus, at.device, at.function, 0x0C) >> 16 & 0xFF, e.headerType);
    if (!(e.headerType & 1)) {
      EXPECT_EQ(machine->configRead(at.bus, at.device, at.function, 0x2C), e.subsystem);
    }
  }
  EXPECT_EQ(machine->configRead(0, 0x1E, 0, 0x18) & 0xFFFFFF, 0x010100u);
  EXPECT_EQ(machine->dmaPhysical(), 0x00200000u);

  // The adapters: 128-byte I/O and memory BARs, assigned and decoding.
  for (sim::Bdf at : {sim::Bdf{0, 3, 0}, sim::Bdf{0, 4, 0}, sim::Bdf{1, 0, 0}}) {
    SCOPED_TRACE(at.str());
    sim::PciFunction* fn = machine->functionAt(at.bus, at.device, at.function);
    ASSERT_NE(fn, nullptr);
    EXPECT_EQ(fn->command(), 0x0007);
    const uint32_t io = machine->configRead(at.bus, at.device, at.function, 0x10);
    const uint32_t mem = machine->configRead(at.bus, at.device, at.function, 0x14);
    EXPECT_EQ(io & 0x7F, 0x01u);
    EXPECT_EQ(mem & 0xFFF, 0x000u);
    EXPECT_EQ(fn->decodeIo(io - 1 + 0x78), 0);
    EXPECT_EQ(fn->decodeMem(mem + 0x78), 1);
    machine->configWrite(at.bus, at.device, at.function, 0x10, 0xFFFFFFFF);
    machine->configWrite(at.bus, at.device, at.function, 0x14, 0xFFFFFFFF);
    EXPECT_EQ(machine->configRead(at.bus, at.device, at.function, 0x10), 0xFFFFFF81u);
    EXPECT_EQ(machine->configRead(at.bus, at.device, at.function, 0x14), 0xFFFFFF80u);
  }
}

TEST(BuiltinBench, BasicBenchFileIsTheSameMachine) {
  auto builtin = sim::BuiltinBench();
  auto file = sim::LoadBenchFile(ORV_SOURCE_DIR "/bench/basic.toml");
  EXPECT_EQ(file->description, builtin->description);
  EXPECT_EQ(file->dmaPhysical(), builtin->dmaPhysical());
  ASSERT_EQ(file->functions().size(), builtin->functions().size());
  for (size_t i = 0; i < builtin->functions().size(); ++i) {
    const sim::PciFunction& a = *builtin->functions()[i];
    const sim::PciFunction& b = *file->functions()[i];
    SCOPED_TRACE(a.placedAt().str());
    EXPECT_EQ(a.placedAt(), b.placedAt());
    EXPECT_EQ(a.name(), b.name());
    for (int offset = 0; offset < 256; offset += 4) {
      const auto o = static_cast<uint8_t>(offset);
      EXPECT_EQ(a.config().read(o), b.config().read(o)) << offset;
      EXPECT_EQ(a.config().writable(o), b.config().writable(o)) << offset;
      EXPECT_EQ(a.config().w1c(o), b.config().w1c(o)) << offset;
    }
  }
}

// A kind of table added from outside the core loader, as adapter boards will be.
TEST(BenchRegistry, NewTableKindPlugsIn) {
  std::vector<int> seenLines;
  sim::RegisterBenchTable({"widget", 40, true,
                           [&](sim::BenchContext& context, const std::vector<const toml::table*>& tables) {
                             for (const toml::table* t : tables) {
                               sim::BenchEntry entry(context, *t, sim::Keys({sim::kLocationKeys, {"colour"}}));
                               seenLines.push_back(entry.line());
                               sim::FunctionSpec spec;
                               spec.vendor = 0x5157;
                               spec.name = *entry.optionalString("colour");
                               context.place(entry.line(), sim::ReadLocation(entry),
                                             std::make_unique<sim::PciFunction>(spec));
                             }
                           }});
  EXPECT_THROW(sim::RegisterBenchTable({"widget", 1, true, nullptr}), std::logic_error);
  EXPECT_THROW(sim::RegisterBenchTable({"function", 1, true, nullptr}), std::logic_error);

  const char* text = "[[widget]]\ndevice = 9\ncolour = \"red\"\n[[widget]]\ndevice = 10\ncolour = \"blue\"\n";
  auto machine = sim::LoadBenchText(text, "w.toml");
  EXPECT_EQ(seenLines, (std::vector<int>{1, 4}));
  ASSERT_NE(machine->functionAt(0, 10, 0), nullptr);
  EXPECT_EQ(machine->functionAt(0, 10, 0)->name(), "blue");
  EXPECT_EQ(LoadError("[[widget]]\ndevice = 9\ncolor = \"red\"\n"), "t.toml:3: unknown key \"color\"");
  // Widgets run after functions (order 40 > 30): a clash names the widget's line.
  EXPECT_EQ(LoadError("[[widget]]\ndevice = 9\ncolour = \"red\"\n[[function]]\ndevice = 9\nvendor = 1\ndevice_id = 1\n"),
            "t.toml:1: duplicate function 00:09.0 (first at line 4)");

  EXPECT_TRUE(sim::UnregisterBenchTable("widget"));
  EXPECT_FALSE(sim::UnregisterBenchTable("function"));
  EXPECT_EQ(LoadError(text), "t.toml:1: unknown table \"widget\"");
}

}  // namespace
