#pragma once
#include <memory>
#include <optional>
#include <string>

#include "sim/adapter_model.h"
#include "sim/csr9_lines.h"
#include "sim/dec21143.h"
#include "sim/lxt97x_phy.h"
#include "sim/serial_eeprom.h"

namespace sim {

class EthernetSegment;

enum class BoardPhy { Lxt970, Lxt971, None };

// Everything that can be wrong with a board.
struct BoardFaults {
  Dec21143Faults chip;
  SerialEeprom::Faults eeprom;
  Lxt97xPhy::Faults phy;
  // Not None: the PHY is missing and the MII data line reads all ones
  // (NothingAttached) or all zeros (Shorted).
  Csr9Lines::MdioFault noPhy = Csr9Lines::MdioFault::None;
};

struct AdapterBoardConfig {
  std::string name;  // empty: "R51 TX", "R83 FX" ...
  BoardModel model = BoardModel::R83;
  BoardVariant variant = BoardVariant::Tx;
  BoardPhy phy = BoardPhy::Lxt971;
  MacAddress mac{0x02, 0x13, 0xD8, 0x00, 0x00, 0x01};
  // The EEPROM at its first power-up; none: the factory image of the model,
  // variant and address.
  std::optional<SerialEeprom::Words> eeprom;
  // Where the EEPROM lives between runs: loaded at power-up when present (it
  // wins over `eeprom`), rewritten after every programming cycle. Empty: not kept.
  std::string eepromFile;
  std::optional<uint8_t> revision;  // none: 0x30 for the R51's part, 0x41 for the R83's
  // The part's wake-up LAN and SecureON registers; none: the R83's part has
  // them, the R51's has not (0x44 to 0x54 reserved there).
  std::optional<bool> wakeUpLan;
  uint16_t command = 0x0007;
  std::optional<uint32_t> ioBase;
  std::optional<uint32_t> memBase;
  BoardFaults faults;
};

// An R51 or R83 adapter: the 21143 with its 93C46 serial EEPROM and its Level1
// PHY at MII address 1, the port cabled to an Ethernet segment or to nothing.
class AdapterBoard : public Dec21143 {
 public:
  // The PHY a model carries unless told otherwise: the R83 TX an LXT971, the
  // others an LXT970.
  static BoardPhy DefaultPhy(BoardModel model, BoardVariant variant);
  // Throws EepromFileError when the EEPROM file exists but cannot be used.
  explicit AdapterBoard(const AdapterBoardConfig& config);
  ~AdapterBoard() override;

  const AdapterBoardConfig& boardConfig() const { return config_; }
  SerialEeprom& eeprom() { return *eeprom_; }
  // The fitted PHY; null without one (phy none, or the no-PHY fault).
  Lxt97xPhy* phy() { return phy_.get(); }

  // Cables the port to a segment, or unplugs it (null). The board detaches
  // itself when it goes.
  void plugInto(EthernetSegment* segment);
  EthernetSegment* segment() const { return segment_; }

  // The last failure to save the EEPROM file (empty: none).
  const std::string& eepromFileError() const { return fileError_; }

 protected:
  void serialRomActivity() override;

 private:
  AdapterBoardConfig config_;
  std::unique_ptr<SerialEeprom> eeprom_;
  std::unique_ptr<Lxt97xPhy> phy_;
  SerialEeprom::Words saved_{};
  EthernetSegment* segment_ = nullptr;
  std::string fileError_;
};

}  // namespace sim
