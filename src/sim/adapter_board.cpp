#include "sim/adapter_board.h"

#include <cstdio>

#include "sim/eeprom_file.h"
#include "sim/eeprom_image.h"
#include "sim/ethernet_segment.h"

namespace sim {

namespace {

Dec21143Options ChipOptions(const AdapterBoardConfig& c) {
  Dec21143Options o;
  o.name = c.name;
  if (o.name.empty()) {
    o.name = std::string(c.model == BoardModel::R51 ? "R51" : "R83") +
             (c.variant == BoardVariant::Fx ? " FX" : " TX");
  }
  o.revision = c.revision.value_or(c.model == BoardModel::R51 ? 0x30 : 0x41);
  o.wakeUpLan = c.wakeUpLan.value_or(c.model == BoardModel::R83);
  o.command = c.command;
  o.ioBase = c.ioBase;
  o.memBase = c.memBase;
  return o;
}

SerialEeprom::Words InitialImage(const AdapterBoardConfig& c) {
  if (!c.eepromFile.empty()) {
    if (std::optional<SerialEeprom::Words> saved = LoadEepromFile(c.eepromFile)) return *saved;
  }
  return c.eeprom.value_or(FactoryEepromImage(c.model, c.variant, c.mac));
}

}  // namespace

BoardPhy AdapterBoard::DefaultPhy(BoardModel model, BoardVariant variant) {
  return model == BoardModel::R83 && variant == BoardVariant::Tx ? BoardPhy::Lxt971 : BoardPhy::Lxt970;
}

AdapterBoard::AdapterBoard(const AdapterBoardConfig& config)
    : Dec21143(ChipOptions(config), config.faults.chip), config_(config) {
  eeprom_ = std::make_unique<SerialEeprom>(InitialImage(config));
  eeprom_->faults = config.faults.eeprom;
  if (config.phy != BoardPhy::None && config.faults.noPhy == Csr9Lines::MdioFault::None) {
    phy_ = std::make_unique<Lxt97xPhy>(config.phy == BoardPhy::Lxt970 ? PhyModel::Lxt970 : PhyModel::Lxt971,
                                       config.variant == BoardVariant::Fx ? PhyMedia::Fx : PhyMedia::Tx);
    phy_->setFaults(config.faults.phy);
  }
  connect(eeprom_.get(), phy_.get());
  if (config.faults.noPhy == Csr9Lines::MdioFault::Shorted) setMdioFault(Csr9Lines::MdioFault::Shorted);
  powerUp();
  saved_ = eeprom_->words();
}

AdapterBoard::~AdapterBoard() {
  if (segment_ != nullptr) segment_->detach(this);
}

void AdapterBoard::plugInto(EthernetSegment* segment) {
  if (segment_ != nullptr) segment_->detach(this);
  segment_ = segment;
  if (segment_ != nullptr) segment_->attach(this);
  attachWire(segment_);
}

// A programming cycle changes the array at once; the file follows it.
void AdapterBoard::serialRomActivity() {
  if (config_.eepromFile.empty() || eeprom_->words() == saved_) return;
  saved_ = eeprom_->words();
  try {
    SaveEepromFile(config_.eepromFile, saved_);
    fileError_.clear();
  } catch (const EepromFileError& e) {
    if (fileError_.empty()) std::fprintf(stderr, "%s\n", e.what());
    fileError_ = e.what();
  }
}

}  // namespace sim
