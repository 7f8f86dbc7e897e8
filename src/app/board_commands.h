#pragma once

#include <cstdint>
#include <string>

class MainDialog;
class EthernetAddress;

// Told of every board and every test a command runs, for reports that need
// more structure than the log lines (a JSON report, a GUI's progress).
class BoardRunObserver {
 public:
  virtual ~BoardRunObserver() = default;
  virtual void BoardStarted(int bus, int device) = 0;
  // result: null when the test passed. microseconds: on the system's clock.
  virtual void TestFinished(const std::string& name, const char* result, uint64_t microseconds) = 0;
  virtual void ResetFinished(const char* result) = 0;
};

// The main window's board commands over the card-list selection, reporting
// into the results log line by line.
namespace board_commands {

// "Reset": resets every selected board and logs the outcome.
void Reset(MainDialog& dialog, BoardRunObserver* observer = nullptr);
// "BD Level": the board tests of every selected board. With an echo server
// address, each board's echo test follows its board tests, logged as
// "Passed Echo Test" or "FAILED Echo Test: TEXT" in the board's block.
void BdLevel(MainDialog& dialog, BoardRunObserver* observer = nullptr, const EthernetAddress* echoServer = nullptr);
// "Echo Server": logs every selected board; no traffic is exchanged.
void EchoServer(MainDialog& dialog);
// "BD Level + Echo"; with an echo server address the board runs include each
// board's echo test.
void BdLevelEcho(MainDialog& dialog, BoardRunObserver* observer = nullptr, const EthernetAddress* echoServer = nullptr);
// "Test Selected": the selected test-list entries on the current card, for the
// dialog's pass count. Answers the error count.
int TestSelected(MainDialog& dialog, BoardRunObserver* observer = nullptr);
// Double-click in the test list: only that entry is selected, then "Test Selected".
int TestListDoubleClick(MainDialog& dialog, int entry);
// "Dump PCI Info": every register of every selected board.
void DumpPciInfo(MainDialog& dialog);

}  // namespace board_commands
