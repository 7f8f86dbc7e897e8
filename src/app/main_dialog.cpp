#include "app/main_dialog.h"

#include <cstdio>
#include <cstdlib>

#include "cards/pci_card.h"
#include "pci/pci_system.h"

MainDialog::MainDialog(PCI_System& system, ResultsLog& log) : system_(system), log_(log) {}

void MainDialog::Initialise() {
  rows_.clear();
  char line[64];
  for (PciBusInfo* bus = system_.busList; bus != nullptr; bus = bus->next) {
    for (PciDeviceInfo* device = bus->devices; device != nullptr; device = device->next) {
      if (!card_list::IsListed(*device, showAll)) continue;
      system_.SelectDevice(static_cast<int>(bus->busNumber), static_cast<int>(device->deviceNumber));
      if (system_.card == nullptr) continue;
      rows_.push_back(card_list::MakeRow(*bus, *device, *system_.card));
    }
    std::snprintf(line, sizeof line, "Bus %02d has %02d devices.", bus->busNumber, bus->deviceCount);
    log_.Append(line);
  }
  selected_.assign(rows_.size(), true);
  std::snprintf(line, sizeof line, "Total PCI devices detected = %02d", system_.DeviceCount());
  log_.Append(line);
  RunSelectionLogic();
}

void MainDialog::Click(const std::vector<int>& rows) {
  selected_.assign(rows_.size(), false);
  for (int row : rows)
    if (row >= 0 && static_cast<size_t>(row) < rows_.size()) selected_[static_cast<size_t>(row)] = true;
  RunSelectionLogic();
}

void MainDialog::RunSelectionLogic() {
  testList_.clear();
  size_t count = 0;
  for (bool s : selected_) count += s ? 1 : 0;
  if (count == 1) {
    MakeCurrent();
    FillTestList();
    enabling_ = Enabling::One;
  } else {
    enabling_ = count == 0 ? Enabling::None : Enabling::Several;
  }
}

bool MainDialog::IsEnabled(Command command) const {
  switch (enabling_) {
    case Enabling::None:
      return false;
    case Enabling::One:
      return true;
    case Enabling::Several:
      switch (command) {
        case Command::Flash:
        case Command::Reset:
        case Command::BdLevel:
        case Command::EchoServer:
        case Command::BdLevelEcho:
        case Command::DumpPciInfo:
          return true;
        default:
          return false;
      }
  }
  return false;
}

void MainDialog::RowNumbers(int row, int* bus, int* device) const {
  // The row's "Bus" and "Slot" texts are the only link back to its function.
  const card_list::Row& cells = rows_[static_cast<size_t>(row)];
  *bus = std::atoi(cells[card_list::kBusColumn].c_str());
  *device = std::atoi(cells[card_list::kSlotColumn].c_str());
}

bool MainDialog::MakeCurrent() {
  for (size_t row = 0; row < selected_.size(); ++row) {
    if (!selected_[row]) continue;
    int bus = 0;
    int device = 0;
    RowNumbers(static_cast<int>(row), &bus, &device);
    system_.SelectDevice(bus, device);
    selected_.assign(rows_.size(), false);
    selected_[row] = true;
    return true;
  }
  return false;
}

void MainDialog::WalkSelectedRows(const std::function<void(int bus, int device)>& visit) {
  for (size_t row = 0; row < selected_.size(); ++row) {
    if (!selected_[row]) continue;
    int bus = 0;
    int device = 0;
    RowNumbers(static_cast<int>(row), &bus, &device);
    system_.SelectDevice(bus, device);
    visit(bus, device);
  }
}

void MainDialog::FillTestList() {
  PCI_Card* card = system_.card;
  if (card == nullptr) return;
  if (TestNameList names = card->BoardTestNames())
    for (int i = 0; names[i] != nullptr; ++i) testList_.push_back({names[i], false, true});
  if (TestNameList names = card->ExtraTestNames())
    for (int i = 0; names[i] != nullptr; ++i) testList_.push_back({names[i], true, false});
}
