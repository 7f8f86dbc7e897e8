#pragma once
#include <functional>
#include <string>
#include <vector>

#include "app/card_list.h"
#include "app/results_log.h"

class PCI_System;

// The commands whose enabling follows the card-list selection.
enum class Command {
  Flash,
  Reset,
  BdLevel,
  EchoServer,
  BdLevelEcho,
  DumpPciInfo,
  TestSelected,
  EEProm,
  Registers,
  CurrentCardSettings,
  StartEchoServer,
  SendReceive,
};

// One entry of the single-board test list.
struct TestListEntry {
  std::string name;
  bool extra = false;  // false: a board test
  bool selected = false;
};

// The main window's behaviour without any widgets: the card list built from the
// scan, the detection summary in the results log, the selection rules, the
// test list and the row walk the board commands use.
class MainDialog {
 public:
  MainDialog(PCI_System& system, ResultsLog& log);

  // Lists every scanned function when set, else only the adapters.
  bool showAll = false;
  // Passes of "Test Selected" (1 to 100; its field is never enabled).
  unsigned passCount = 1;

  // Fills the card list and writes the detection summary; selects every row.
  void Initialise();

  const std::vector<card_list::Row>& Rows() const { return rows_; }
  const std::vector<bool>& Selection() const { return selected_; }

  // A click in the card list: the given rows become the selection and the
  // selection logic runs. Out-of-range rows are ignored.
  void Click(const std::vector<int>& rows);

  bool IsEnabled(Command command) const;

  // Makes the first selected row current (its card becomes `card`) and leaves
  // it selected alone; false with no row selected.
  bool MakeCurrent();

  // Visits the selected rows in index order with their card current.
  void WalkSelectedRows(const std::function<void(int bus, int device)>& visit);

  std::vector<TestListEntry>& TestList() { return testList_; }

  PCI_System& System() { return system_; }
  ResultsLog& Log() { return log_; }

 private:
  void RunSelectionLogic();
  void FillTestList();
  void RowNumbers(int row, int* bus, int* device) const;

  PCI_System& system_;
  ResultsLog& log_;
  std::vector<card_list::Row> rows_;
  std::vector<bool> selected_;
  std::vector<TestListEntry> testList_;
  enum class Enabling { None, One, Several } enabling_ = Enabling::None;
};
