#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "sim/csr9_lines.h"
#include "sim/ethernet_link.h"
#include "sim/pci_function.h"
#include "sim/setup_filter.h"

namespace sim {

class SerialEeprom;
class Lxt97xPhy;

// How a board builds its controller.
struct Dec21143Options {
  std::string name;
  uint8_t revision = 0x41;
  // The wake-up LAN and SecureON registers (CWUA0/1, SOP0/1, CWUC) of the later
  // parts; without them 0x44 to 0x54 are reserved and read 0.
  bool wakeUpLan = true;
  uint16_t command = 0x0007;  // what the firmware left in CFCS
  uint8_t interruptLine = 0x0B;
  std::optional<uint32_t> ioBase;   // none: the firmware assigns one
  std::optional<uint32_t> memBase;
};

// Defects of the controller part of a board (EEPROM and PHY defects live in
// their own models).
struct Dec21143Faults {
  struct ConfigBits {
    uint8_t offset = 0;
    uint32_t bits = 0;
  };
  struct CsrBits {
    int csr = -1;
    uint32_t bits = 0;
  };
  std::vector<ConfigBits> configWritable;  // read-only configuration bits that take writes
  uint16_t statusBits = 0;                 // CFCS status bits raised at power-up
  int csrAnswersDisabled = -1;             // this CSR still decodes with I/O and memory off
  CsrBits csrWritable;                     // read-only CSR bits that take writes
  CsrBits csrWrongValue;                   // CSR bits that always read inverted
  bool loopbackDrops = false;              // looped-back frames are lost
  int loopbackCorruptByte = -1;            // this byte of a looped-back frame arrives inverted
  bool dmaWithoutBusMaster = false;        // DMA ignores the bus-master enable
  uint32_t rxCrcErrorEvery = 0;            // every Nth received frame has a bad CRC
};

// The DEC 21143 Ethernet controller (1011:0019) as its PCI function: the
// configuration registers, CSR0 to CSR15 in I/O and memory space, the serial-ROM
// and MII lines of CSR9, and the descriptor-based transmit and receive DMA with
// the setup-frame address filter. Its port is an Ethernet station; the MII data
// path goes through the PHY (loopback, link) to the wire.
//
// DMA work happens on poll demands, on process starts and in tick(), so a
// polling program sees progress without interrupts.
class Dec21143 : public PciFunction, public EthernetStation {
 public:
  static constexpr uint16_t kVendor = 0x1011;
  static constexpr uint16_t kDevice = 0x0019;
  static constexpr uint32_t kCsrBytes = 128;

  explicit Dec21143(const Dec21143Options& options, const Dec21143Faults& faults = {});
  ~Dec21143() override;

  // ---- Wiring by the board (before powerUp) ----
  // Either may be null (not fitted). The chip does not own them.
  void connect(SerialEeprom* eeprom, Lxt97xPhy* phy);
  void setMdioFault(Csr9Lines::MdioFault fault) { csr9_.setMdioFault(fault); }
  // Power-on: all registers to their reset values, then the serial-ROM autoload
  // of the subsystem IDs (words 0, 1) and the CIS pointer (words 2, 3).
  void powerUp();
  // The segment the port is cabled to (null: no cable). Not owned.
  void attachWire(EthernetWire* wire);
  EthernetWire* wire() const { return wire_; }

  // ---- PciFunction ----
  void configWrite(uint8_t offset, uint32_t value, uint32_t byteEnables) override;
  uint32_t ioRead(int bar, uint32_t offset, int width) override;
  void ioWrite(int bar, uint32_t offset, uint32_t value, int width) override;
  uint32_t memRead(int bar, uint32_t offset, int width) override;
  void memWrite(int bar, uint32_t offset, uint32_t value, int width) override;
  void tick(uint64_t nowMicros) override;
  int decodeIo(uint32_t port) const override;
  int decodeMem(uint64_t address) const override;

  // ---- EthernetStation: a frame from the wire ----
  void receiveFrame(const uint8_t* frame, size_t length) override;

  // ---- For benches and tests (not visible on the bus) ----
  struct Stats {
    uint64_t framesSent = 0;      // put on the wire
    uint64_t framesLooped = 0;    // looped back inside the chip or by the PHY
    uint64_t framesReceived = 0;  // written into receive descriptors
    uint64_t framesMissed = 0;    // lost for want of a receive descriptor
    uint64_t setupFrames = 0;
  };
  const Stats& stats() const { return stats_; }
  const SetupFilter& filter() const { return filter_; }
  const Dec21143Faults& faults() const { return faults_; }
  bool asleep() const;

 protected:
  // After every write of CSR9 (the board persists a programmed EEPROM).
  virtual void serialRomActivity() {}

 private:
  enum class TxState { Stopped, Running, Suspended };
  enum class RxState { Stopped, Running, Suspended };
  // Where a received frame came from (the descriptor's data type field).
  enum class Source { Wire = 0, InternalLoopback = 1, ExternalLoopback = 2 };

  struct Inbound {
    std::vector<uint8_t> frame;  // without CRC
    uint32_t fcs = 0;            // the check sequence that came with it
    Source source = Source::Wire;
  };

  // Configuration space.
  void defineConfig(const Dec21143Options& options);
  void autoload();

  // CSRs.
  uint32_t readCsr(uint32_t offset);
  void writeCsr(uint32_t offset, uint32_t value);
  uint32_t readAccess(uint32_t offset, int width);
  void writeAccess(uint32_t offset, uint32_t value, int width);
  uint32_t csrValue(int n, bool consume);
  uint32_t csr5() const;
  void writeCsr6(uint32_t value);
  void softwareReset();
  void raise(uint32_t bits);
  void updateSummaries();

  // DMA (dec21143_dma.cpp).
  bool canDma() const;
  bool claimed(uint32_t address, size_t length);
  bool dmaIn(uint32_t address, void* data, size_t length);
  bool dmaOut(uint32_t address, const void* data, size_t length);
  void runTransmit();
  uint32_t sendFrame(uint32_t tdes1);
  uint32_t carrierLoss() const;
  void loadSetupFrame(uint32_t tdes1, uint32_t tdes2);
  uint32_t nextDescriptor(uint32_t current, uint32_t des1, uint32_t des3, uint32_t base) const;
  void loopBack(const std::vector<uint8_t>& frame, Source source);
  bool lineReceives() const;
  void queueInbound(Inbound&& in);
  void serviceInbound();
  bool passesFilter(const uint8_t* destination) const;
  void receive(const Inbound& in);
  void startReceive();
  void lookAhead();
  void receivePollDemand();
  void missFrame();

  Dec21143Faults faults_;
  bool wakeUpLan_;

  SerialEeprom* eeprom_ = nullptr;
  Lxt97xPhy* phy_ = nullptr;
  Csr9Lines csr9_{nullptr, nullptr};
  EthernetWire* wire_ = nullptr;
  bool cableLink_ = false;
  bool phyInterrupt_ = false;

  // CSRs as stored.
  uint32_t csr0_ = 0;
  uint32_t csr3_ = 0;
  uint32_t csr4_ = 0;
  uint32_t status_ = 0;  // CSR5 event bits
  uint32_t csr6_ = 0;
  uint32_t csr7_ = 0;
  uint32_t missed_ = 0;  // CSR8 missed-frame counter with its overflow bit
  uint32_t fifoOverflows_ = 0;
  uint32_t csr10_ = 0;
  uint32_t csr11_ = 0;
  uint32_t csr13_ = 0;
  uint32_t csr14_ = 0;
  uint32_t csr15_ = 0;
  uint32_t faultOverlay_ = 0;  // the fault's writable bits as last written

  // Processes.
  TxState tx_ = TxState::Stopped;
  RxState rx_ = RxState::Stopped;
  uint32_t txCurrent_ = 0;
  uint32_t rxCurrent_ = 0;
  std::vector<uint8_t> txFrame_;
  bool txFrameOpen_ = false;
  uint64_t nextAutoPoll_ = 0;

  SetupFilter filter_;
  std::deque<Inbound> inbound_;
  uint64_t framesCounted_ = 0;  // for the CRC-error fault
  bool working_ = false;         // re-entry guard of the DMA engine
  bool busError_ = false;        // a master abort stopped all DMA until reset
  Stats stats_;
};

}  // namespace sim
