#include "sim/dec21143.h"

#include "sim/dec21143_bits.h"
#include "sim/lxt97x_phy.h"
#include "sim/serial_eeprom.h"

namespace sim {

using namespace dec21143;

namespace {

FunctionSpec Spec(const Dec21143Options& options) {
  FunctionSpec spec;
  spec.name = options.name;
  spec.vendor = Dec21143::kVendor;
  spec.device = Dec21143::kDevice;
  spec.classCode = 0x020000;  // network controller, Ethernet
  spec.revision = options.revision;
  spec.command = options.command;
  spec.bars = {{0, BarType::Io, Dec21143::kCsrBytes, false, options.ioBase},
               {1, BarType::Mem32, Dec21143::kCsrBytes, false, options.memBase}};
  return spec;
}

// Status bits of a sound part: capabilities list, fast back-to-back capable,
// medium DEVSEL timing.
constexpr uint16_t kStatus = 0x0290;
// Command bits that exist: I/O, memory, bus master, memory write and
// invalidate, parity error response, SERR#.
constexpr uint32_t kCommandWritable = 0x00000157;
// Data parity detected, received target and master abort, SERR# signalled,
// parity error detected. The part never signals target abort (bit 27).
constexpr uint32_t kStatusW1c = 0xF1000000;

// Automatic transmit polling intervals of CSR0 TAP, in microseconds.
constexpr uint64_t kAutoPollMicros[8] = {0, 82, 246, 574, 5, 10, 15, 36};

}  // namespace

Dec21143::Dec21143(const Dec21143Options& options, const Dec21143Faults& faults)
    : PciFunction(Spec(options)), faults_(faults), wakeUpLan_(options.wakeUpLan) {
  defineConfig(options);
  softwareReset();
}

Dec21143::~Dec21143() = default;

// ---- Configuration space ----

void Dec21143::defineConfig(const Dec21143Options& options) {
  ConfigSpace& c = config();
  c.define(0x04, options.command | uint32_t{static_cast<uint16_t>(kStatus | faults_.statusBits)} << 16,
           kCommandWritable, kStatusW1c);
  // Cache-line size and latency timer; header type 0, no BIST.
  c.define(0x0C, 0, 0x0000FFFF);
  c.define(0x28, 0);  // CCIS and CSID come from the serial ROM
  c.define(0x2C, 0);
  c.define(0x30, 0, 0xFFFC0001);  // expansion ROM of up to 256 KiB
  c.define(0x34, kCapabilityOffset);
  c.define(0x38, 0);
  c.define(0x3C, 0x28140100u | options.interruptLine, 0x000000FF);  // max latency, min grant, pin A
  c.define(0x40, 0, kCfddSleep | kCfddSnooze | 0x0000FF00);
  if (wakeUpLan_) {
    c.define(0x44, 0, 0xFFFFFFFF);  // CWUA0: wake-up address bytes D, C, B, A
    c.define(0x48, 0, 0x0000FFFF);  // CWUA1: bytes F, E
    c.define(0x4C, 0, 0xFFFFFFFF);  // SOP0
    c.define(0x50, 0, 0x0000FFFF);  // SOP1
    c.define(0x54, 0, 0x000001FF);  // CWUC: wake-up event enables
  }
  // Power management: capability ID 1, no next item, PCI PM 1.0; the later
  // parts can signal PME from every state.
  c.define(kCapabilityOffset, wakeUpLan_ ? 0xFE010001 : 0x00010001);
  c.define(kCapabilityOffset + 4, 0, 0x00000103, 0x00008000);  // power state, PME enable, PME status

  for (const Dec21143Faults::ConfigBits& f : faults_.configWritable) {
    const uint8_t at = f.offset & 0xFC;
    c.define(at, c.read(at), c.writable(at) | f.bits, c.w1c(at) & ~f.bits);
  }
}

void Dec21143::configWrite(uint8_t offset, uint32_t value, uint32_t byteEnables) {
  PciFunction::configWrite(offset, value, byteEnables);
  if ((offset & 0xFC) == 0x0C && (byteEnables & 0xFF)) {
    // Only bursts of 8, 16 or 32 longwords exist; any other size reads as 0.
    const uint32_t v = config().read(0x0C);
    const uint8_t size = static_cast<uint8_t>(v);
    if (size != 0 && size != 8 && size != 16 && size != 32) config().set(0x0C, v & ~0xFFu);
  }
}

bool Dec21143::asleep() const {
  return (config().read(0x40) & kCfddSleep) != 0 || (config().read(kCapabilityOffset + 4) & 3) != 0;
}

// A defective decoder lets one CSR answer with decoding off; asleep or in a
// low-power state the part answers only configuration cycles.
int Dec21143::decodeIo(uint32_t port) const {
  if (asleep()) return -1;
  const int bar = PciFunction::decodeIo(port);
  if (bar >= 0 || faults_.csrAnswersDisabled < 0) return bar;
  const uint32_t base = barBase(0);
  const uint32_t at = 8u * static_cast<uint32_t>(faults_.csrAnswersDisabled);
  return base != 0 && port >= base + at && port < base + at + 4 ? 0 : -1;
}

int Dec21143::decodeMem(uint64_t address) const {
  if (asleep()) return -1;
  const int bar = PciFunction::decodeMem(address);
  if (bar >= 0 || faults_.csrAnswersDisabled < 0) return bar;
  const uint64_t base = barBase(1);
  const uint64_t at = 8u * static_cast<uint64_t>(faults_.csrAnswersDisabled);
  return base != 0 && address >= base + at && address < base + at + 4 ? 1 : -1;
}

// ---- Wiring and power ----

void Dec21143::connect(SerialEeprom* eeprom, Lxt97xPhy* phy) {
  eeprom_ = eeprom;
  phy_ = phy;
  const Csr9Lines::MdioFault fault = csr9_.mdioFault();
  csr9_ = Csr9Lines(eeprom, phy);
  csr9_.setMdioFault(fault);
  attachWire(wire_);
}

void Dec21143::attachWire(EthernetWire* wire) {
  wire_ = wire;
  cableLink_ = wire_ != nullptr && wire_->linkUp();
  if (phy_ != nullptr) phy_->setLink(cableLink_);
}

void Dec21143::powerUp() {
  softwareReset();
  autoload();
}

// The chip's own serial-ROM sequencer: one sequential READ from word 0 that
// takes four words. A missing or silent part reads as ones (pull-up).
void Dec21143::autoload() {
  uint16_t words[4] = {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF};
  if (eeprom_ != nullptr) {
    const uint64_t t = now();
    auto clock = [&](bool bit) {
      eeprom_->setPins(true, false, bit, t);
      eeprom_->setPins(true, true, bit, t);
    };
    eeprom_->setPins(false, false, false, t);
    eeprom_->setPins(true, false, false, t);
    for (bool bit : {true, true, false}) clock(bit);  // start bit, READ
    for (int i = 0; i < 6; ++i) clock(false);         // address 0
    for (uint16_t& w : words) {
      w = 0;
      for (int i = 0; i < 16; ++i) {
        clock(false);
        w = static_cast<uint16_t>(w << 1 | (eeprom_->dataOut(t) ? 1 : 0));
      }
    }
    eeprom_->setPins(false, false, false, t);
  }
  config().set(0x2C, words[0] | uint32_t{words[1]} << 16);
  config().set(0x28, words[2] | uint32_t{words[3]} << 16);
}

// ---- CSR space ----

void Dec21143::softwareReset() {
  csr0_ = kCsr0Reset;
  csr3_ = csr4_ = 0;
  status_ = 0;
  csr6_ = kCsr6Reset;  // perfect filtering; the filter memory keeps its contents
  csr7_ = 0;
  missed_ = 0;
  fifoOverflows_ = 0;
  csr10_ = 0;
  csr11_ = kCsr11Reset;
  csr13_ = 0;
  csr14_ = 0xFFFF;
  csr15_ = kCsr15Reset;
  tx_ = TxState::Stopped;
  rx_ = RxState::Stopped;
  txCurrent_ = rxCurrent_ = 0;
  txFrameOpen_ = false;
  txFrame_.clear();
  inbound_.clear();
  busError_ = false;
  csr9_.write(0, now());
  if (faults_.csrWritable.csr >= 0) faultOverlay_ = csrValue(faults_.csrWritable.csr, false) & faults_.csrWritable.bits;
}

uint32_t Dec21143::csr5() const {
  uint32_t rs = 0;
  if (rx_ == RxState::Running) rs = kRsWaiting;
  if (rx_ == RxState::Suspended) rs = kRsSuspended;
  uint32_t ts = 0;
  if (tx_ == TxState::Running) ts = kTsFetching;
  if (tx_ == TxState::Suspended) ts = kTsSuspended;
  const uint32_t eb = busError_ ? kEbMasterAbort : 0;
  return kCsr5Ones | status_ | rs << 17 | ts << 20 | eb << 23;
}

uint32_t Dec21143::csrValue(int n, bool consume) {
  switch (n) {
    case 0: return csr0_;
    case 1:
    case 2: return 0xFFFFFFFF;  // poll demands are write-only
    case 3: return csr3_;
    case 4: return csr4_;
    case 5: return csr5();
    case 6: return csr6_;
    case 7: return kCsr7Ones | csr7_;
    case 8: {
      const uint32_t v = kCsr8Ones | missed_ | fifoOverflows_ << 17;
      if (consume) missed_ = fifoOverflows_ = 0;  // the counters clear when read
      return v;
    }
    case 9: return csr9_.read(now());
    case 10: return csr10_;
    case 11: return csr11_;
    case 12: return kCsr12;  // the SIA is not wired on MII boards: no 10 or 100 Mb/s link
    case 13: return 0xFFFF0000 | csr13_;
    case 14: return 0xFFFF0000 | csr14_;
    default: return csr15_;
  }
}

uint32_t Dec21143::readCsr(uint32_t offset) {
  if (offset & 7) return 0;  // nothing lives between the CSRs
  const int n = static_cast<int>(offset >> 3);
  uint32_t v = csrValue(n, true);
  if (n == faults_.csrWritable.csr) v = (v & ~faults_.csrWritable.bits) | faultOverlay_;
  if (n == faults_.csrWrongValue.csr) v ^= faults_.csrWrongValue.bits;
  return v;
}

void Dec21143::writeCsr(uint32_t offset, uint32_t value) {
  if (offset & 7) return;
  const int n = static_cast<int>(offset >> 3);
  if (n == faults_.csrWritable.csr) faultOverlay_ = value & faults_.csrWritable.bits;
  switch (n) {
    case 0:
      if (value & kCsr0SoftwareReset) {
        softwareReset();
        return;
      }
      csr0_ = kCsr0Reset | (value & kCsr0Writable);
      nextAutoPoll_ = now();
      break;
    case 1:
      if (tx_ != TxState::Stopped) {
        tx_ = TxState::Running;
        runTransmit();
      }
      break;
    case 2:
      receivePollDemand();
      break;
    case 3:
      csr3_ = rxCurrent_ = value & ~3u;
      break;
    case 4:
      csr4_ = txCurrent_ = value & ~3u;
      break;
    case 5:
      status_ &= ~(value & kCsr5W1c);
      break;
    case 6:
      writeCsr6(value);
      break;
    case 7:
      csr7_ = value & kCsr7Writable;
      updateSummaries();
      break;
    case 9:
      csr9_.write(value, now());
      serialRomActivity();
      break;
    case 10:
      csr10_ = value & 0x0003FFFF;
      break;
    case 11:
      csr11_ = value;
      break;
    case 13:
      csr13_ = value & 0xFFFF;
      break;
    case 14:
      csr14_ = value & 0xFFFF;
      break;
    case 15:
      csr15_ = value;
      break;
    default:
      break;  // CSR8 and CSR12 are read-only
  }
}

void Dec21143::writeCsr6(uint32_t value) {
  const uint32_t old = csr6_;
  csr6_ = kCsr6Ones | (value & kCsr6Writable) | (old & kCsr6Filter);
  if ((old & kCsr6StartTx) && !(csr6_ & kCsr6StartTx)) {
    tx_ = TxState::Stopped;
    txFrameOpen_ = false;
    raise(kTps);
  }
  if ((old & kCsr6StartRx) && !(csr6_ & kCsr6StartRx)) {
    rx_ = RxState::Stopped;
    inbound_.clear();
    raise(kRps);
  }
  if (!(old & kCsr6StartRx) && (csr6_ & kCsr6StartRx)) startReceive();
  if (!(old & kCsr6StartTx) && (csr6_ & kCsr6StartTx)) {
    tx_ = TxState::Running;
    runTransmit();
  }
}

void Dec21143::raise(uint32_t bits) {
  status_ |= bits;
  updateSummaries();
}

// The summaries are sticky: an enabled event sets them, writing one clears them.
void Dec21143::updateSummaries() {
  if (status_ & csr7_ & kNormalEvents) status_ |= kNis;
  if (status_ & csr7_ & kAbnormalEvents) status_ |= kAis;
}

uint32_t Dec21143::readAccess(uint32_t offset, int width) {
  const uint32_t v = readCsr(offset & ~3u);
  return width == 4 ? v : v >> (8 * (offset & 3));
}

// A narrow write changes its byte lanes of the register; the other lanes keep
// their value, except in the registers where a write is a command.
void Dec21143::writeAccess(uint32_t offset, uint32_t value, int width) {
  if (width == 4) {
    writeCsr(offset, value);
    return;
  }
  const uint32_t at = offset & ~3u;
  const int n = static_cast<int>(at >> 3);
  const int shift = 8 * static_cast<int>(offset & 3);
  const uint32_t lanes = (width == 1 ? 0xFFu : 0xFFFFu) << shift;
  uint32_t current = 0;
  if (!(at & 7) && n != 1 && n != 2 && n != 5 && n != 8) current = n == 9 ? csr9_.lastWrite() : csrValue(n, false);
  writeCsr(at, (current & ~lanes) | ((value << shift) & lanes));
}

uint32_t Dec21143::ioRead(int, uint32_t offset, int width) { return readAccess(offset, width); }
void Dec21143::ioWrite(int, uint32_t offset, uint32_t value, int width) { writeAccess(offset, value, width); }
uint32_t Dec21143::memRead(int, uint32_t offset, int width) { return readAccess(offset, width); }
void Dec21143::memWrite(int, uint32_t offset, uint32_t value, int width) { writeAccess(offset, value, width); }

// ---- Time ----

void Dec21143::tick(uint64_t nowMicros) {
  if (working_) return;
  const bool cable = wire_ != nullptr && wire_->linkUp();
  if (cable != cableLink_) {
    cableLink_ = cable;
    if (phy_ != nullptr) phy_->setLink(cable);
  }
  if (wire_ != nullptr) wire_->poll(nowMicros);
  if (asleep()) {
    inbound_.clear();
    return;
  }
  // The PHY's interrupt output is wired to a general-purpose port pin.
  const bool irq = phy_ != nullptr && phy_->interruptPending();
  if (irq && !phyInterrupt_) raise(kGpi);
  phyInterrupt_ = irq;

  const uint32_t tap = (csr0_ >> 17) & 7;
  if (tap != 0 && tx_ == TxState::Suspended && nowMicros >= nextAutoPoll_) {
    nextAutoPoll_ = nowMicros + kAutoPollMicros[tap];
    tx_ = TxState::Running;
  }
  if (tx_ == TxState::Running) runTransmit();
  serviceInbound();
}

}  // namespace sim
