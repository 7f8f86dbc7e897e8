#include "app/board_commands.h"

#include <cstdarg>
#include <cstdio>
#include <functional>
#include <string>

#include "app/main_dialog.h"
#include "cards/pci_card.h"
#include "net/echo_reporter.h"
#include "pci/pci_system.h"

namespace board_commands {
namespace {

// Lines of "Test Selected" and "Dump PCI Info" are held to 255 characters, as
// the original buffers were; a longer test message is cut there.
constexpr size_t kLineLimit = 255;

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
  char line[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  return line;
}

std::string Limited(std::string line) {
  if (line.size() > kLineLimit) line.resize(kLineLimit);
  return line;
}

const std::string& Sep() { return ResultsLog::Separator(); }

// Runs one test with its "Testing" line shown while it runs.
const char* RunWithProgress(MainDialog& dialog, BoardRunObserver* observer, const char* name,
                            const std::function<const char*()>& run) {
  ResultsLog& log = dialog.Log();
  log.Append(Format("Testing %s ...", name));
  const uint64_t start = dialog.System().MonotonicMicroseconds();
  const char* result = run();
  const uint64_t elapsed = dialog.System().MonotonicMicroseconds() - start;
  log.RemoveTop();
  if (observer) observer->TestFinished(name, result, elapsed);
  return result;
}

// Keeps the first result the echo client reports: the reason a run failed
// ("No Echo Server on port 0"), ahead of the closing "Failed Echo Test".
class FirstResult : public EchoReporter {
 public:
  void Message(const char*) override {}
  void Result(const char* text) override {
    if (first_.empty() && text != nullptr) first_ = text;
  }
  void Status(const char*) override {}
  void Progress(const char*, int) override {}
  const std::string& Text() const { return first_; }

 private:
  std::string first_;
};

constexpr int kEchoPacketCount = 8000;
constexpr const char* kEchoTestName = "Echo Test";

}  // namespace

void Reset(MainDialog& dialog, BoardRunObserver* observer) {
  ResultsLog& log = dialog.Log();
  log.Append(Sep());
  dialog.WalkSelectedRows([&](int bus, int device) {
    if (observer) observer->BoardStarted(bus, device);
    PCI_Card* card = dialog.System().card;
    const char* result = card ? card->Reset() : nullptr;
    if (observer) observer->ResetFinished(result);
    if (result == nullptr)
      log.Append(Format("Bus=%02d Dev=%02d Reset Complete", bus, device));
    else
      log.Append(Format("Bus=%02d Dev=%02d Failed %s", bus, device, result));
  });
  log.Append(Sep());
}

void BdLevel(MainDialog& dialog, BoardRunObserver* observer, const EthernetAddress* echoServer) {
  ResultsLog& log = dialog.Log();
  log.Append(Sep());
  dialog.WalkSelectedRows([&](int bus, int device) {
    if (observer) observer->BoardStarted(bus, device);
    PCI_Card* card = dialog.System().card;
    if (card) card->Reset();
    log.Append(Format("Testing Board %02d Device %02d", bus, device));
    if (card) {
      if (TestNameList names = card->BoardTestNames()) {
        for (int i = 0; names[i] != nullptr; ++i) {
          const char* result = RunWithProgress(dialog, observer, names[i], [&] { return card->RunBoardTest(i); });
          if (result == nullptr)
            log.Append(Format("Passed %s", names[i]));
          else
            log.Append(Format("FAILED %s: %s", names[i], result));
        }
      }
      if (echoServer != nullptr) {
        FirstResult reasons;
        std::string reason;
        const char* result = RunWithProgress(dialog, observer, kEchoTestName, [&]() -> const char* {
          const char* answer = card->RunEchoTest(&reasons, nullptr, kEchoPacketCount, *echoServer);
          if (answer == nullptr) return nullptr;
          reason = reasons.Text().empty() ? answer : reasons.Text();
          return reason.c_str();
        });
        if (result == nullptr)
          log.Append(Format("Passed %s", kEchoTestName));
        else
          log.Append(Format("FAILED %s: %s", kEchoTestName, result));
      }
      card->Reset();
    }
    log.Append("");
  });
  log.Append(Sep());
}

void EchoServer(MainDialog& dialog) {
  ResultsLog& log = dialog.Log();
  log.Append(Sep());
  dialog.WalkSelectedRows([&](int bus, int device) { log.Append(Format("Testing Board %02d Device %02d", bus, device)); });
  log.Append(Sep());
}

void BdLevelEcho(MainDialog& dialog, BoardRunObserver* observer, const EthernetAddress* echoServer) {
  BdLevel(dialog, observer, echoServer);
  EchoServer(dialog);
}

int TestSelected(MainDialog& dialog, BoardRunObserver* observer) {
  ResultsLog& log = dialog.Log();
  PCI_System& system = dialog.System();
  const std::string header = Limited(Format("%s Bus=%d Dev=%d", Sep().c_str(), system.selectedBus, system.selectedDevice));
  log.Append(header);
  int errors = 0;
  PCI_Card* card = system.card;
  if (observer) observer->BoardStarted(system.selectedBus, system.selectedDevice);
  for (unsigned pass = 1; pass <= dialog.passCount; ++pass) {
    const std::vector<TestListEntry>& entries = dialog.TestList();
    for (size_t position = 0; card != nullptr && position < entries.size(); ++position) {
      if (!entries[position].selected) continue;
      const int i = static_cast<int>(position);
      const char* name = nullptr;
      std::function<const char*()> run;
      if (!entries[position].extra) {
        TestNameList names = card->BoardTestNames();
        if (names == nullptr || i >= card->BoardTestCount()) continue;
        name = names[i];
        run = [card, i] { return card->RunBoardTest(i); };
      } else {
        const int k = i - card->BoardTestCount();
        TestNameList names = card->ExtraTestNames();
        if (names == nullptr || k < 0 || k >= card->ExtraTestCount()) continue;
        name = names[k];
        run = [card, k] { return card->RunExtraTest(k); };
      }
      const char* result = RunWithProgress(dialog, observer, name, run);
      if (result != nullptr) {
        log.Append(Limited(Format("%s Failed %s", name, result)));
        ++errors;
      } else {
        log.Append(Limited(Format("%s Passed ", name)));
      }
    }
    log.Append(Format("|------------------------------| %u", pass));
  }
  log.Append(Format("Total Errors=%d", errors));
  log.Append(header);
  return errors;
}

int TestListDoubleClick(MainDialog& dialog, int entry) {
  std::vector<TestListEntry>& entries = dialog.TestList();
  for (auto& e : entries) e.selected = false;
  if (entry >= 0 && static_cast<size_t>(entry) < entries.size()) entries[static_cast<size_t>(entry)].selected = true;
  return TestSelected(dialog);
}

void DumpPciInfo(MainDialog& dialog) {
  ResultsLog& log = dialog.Log();
  dialog.WalkSelectedRows([&](int bus, int device) {
    PCI_Card* card = dialog.System().card;
    log.Append(Limited(Format("%s Bus=%d Dev=%d", Sep().c_str(), bus, device)));
    if (card != nullptr) {
      const RegisterSet* sets = card->RegisterSets();
      for (int s = 0; sets != nullptr && sets[s].name != nullptr; ++s) {
        for (int k = 0; k < sets[s].count; ++k) {
          const uint32_t offset = static_cast<uint32_t>(k * sets[s].stride);
          const uint32_t value = card->ReadRegister(s, offset);
          const char* name = sets[s].names ? sets[s].names[k] : nullptr;
          log.Append(Limited(Format("%s Bus %02d Slot %02d :: %s :: %s @ 0x%02x = 0x%08x", card->Name(), bus, device,
                                    sets[s].name, name ? name : "(null)", offset, value)));
        }
      }
    }
    log.Append(Limited(Format("%s Bus=%d Dev=%d ", Sep().c_str(), bus, device)));
  });
}

}  // namespace board_commands
