// The 21143's transmit and receive processes: descriptor lists in ring or
// chained mode, setup frames, the address filter, loopback and the wire.
#include <algorithm>
#include <cstring>

#include "sim/dec21143.h"
#include "sim/dec21143_bits.h"
#include "sim/ethernet_crc.h"
#include "sim/lxt97x_phy.h"
#include "sim/machine.h"

namespace sim {

using namespace dec21143;

namespace {

constexpr size_t kMinFrame = 60;          // without CRC; shorter frames are padded
constexpr size_t kMaxTransmit = 16384;    // the jabber timer cuts a frame beyond this
constexpr size_t kMaxReceive = 0x3FFF;    // the largest length the descriptor can show
constexpr size_t kMaxFrameNoError = 1518;  // with CRC
constexpr size_t kMinFrameNoError = 64;
constexpr size_t kFifoFrames = 32;       // frames the receive FIFO holds while DMA waits
// A list of descriptors that never ends in one the host owns would keep the
// engine busy for ever; it works through this many per pass and resumes later.
constexpr int kDescriptorsPerPass = 1024;

// Automatic re-entry guard.
struct Busy {
  explicit Busy(bool& flag) : flag_(flag) { flag_ = true; }
  ~Busy() { flag_ = false; }
  bool& flag_;
};

}  // namespace

// ---- DMA ----

bool Dec21143::canDma() const {
  return isAttached() && !asleep() && !busError_ && (busMaster() || faults_.dmaWithoutBusMaster);
}

// A transfer that nothing claims ends in a master abort: the chip flags a fatal
// bus error and does no more DMA until it is reset.
bool Dec21143::claimed(uint32_t address, size_t length) {
  for (uint64_t at : {uint64_t{address}, uint64_t{address} + length - 1}) {
    uint64_t left = 0;
    if (machine().memory().at(at, &left) != nullptr) continue;
    const auto& functions = machine().functions();
    if (std::none_of(functions.begin(), functions.end(), [at](PciFunction* fn) { return fn->decodeMem(at) >= 0; })) {
      busError_ = true;
      tx_ = TxState::Stopped;
      rx_ = RxState::Stopped;
      config().setBits(0x04, 0x20000000);  // received master abort
      raise(kFbe);
      return false;
    }
  }
  return true;
}

bool Dec21143::dmaIn(uint32_t address, void* data, size_t length) {
  if (!canDma()) return false;
  if (length == 0) return true;
  if (!claimed(address, length)) return false;
  machine().dmaRead(address, data, length);
  return true;
}

bool Dec21143::dmaOut(uint32_t address, const void* data, size_t length) {
  if (!canDma()) return false;
  if (length == 0) return true;
  if (!claimed(address, length)) return false;
  machine().dmaWrite(address, data, length);
  return true;
}

uint32_t Dec21143::nextDescriptor(uint32_t current, uint32_t des1, uint32_t des3, uint32_t base) const {
  if (des1 & kDesEndOfRing) return base;  // end of ring wins over chaining
  if (des1 & kDesChained) return des3 & ~3u;
  return current + 16 + 4 * ((csr0_ >> kCsr0SkipShift) & 0x1F);
}

// ---- Transmit ----

void Dec21143::runTransmit() {
  if (working_ || tx_ == TxState::Stopped) return;
  {
    Busy busy(working_);
    for (int n = 0; n < kDescriptorsPerPass && tx_ != TxState::Stopped; ++n) {
      uint32_t d[4];
      if (!dmaIn(txCurrent_, d, sizeof d)) break;  // no bus: the fetch waits
      if (!(d[0] & kOwn)) {
        tx_ = TxState::Suspended;
        raise(kTu);
        break;
      }
      tx_ = TxState::Running;
      uint32_t status = 0;
      bool closes = true;  // the descriptor ends a frame (or is a setup or empty one)
      if (d[1] & kDesSet) {
        loadSetupFrame(d[1], d[2]);
        status = kTdesDone;
      } else if (!(d[1] & kDesFs) && !txFrameOpen_) {
        status = kTdesDone;  // empty descriptor: skipped
      } else {
        if (d[1] & kDesFs) {
          txFrame_.clear();
          txFrameOpen_ = true;
        }
        const uint32_t size1 = d[1] & kSize1Mask;
        const uint32_t size2 = (d[1] & kDesChained) ? 0 : (d[1] >> kSize2Shift) & kSize1Mask;
        if (txFrame_.size() + size1 + size2 > kMaxTransmit) {
          txFrameOpen_ = false;
          status = kTdesErrorSummary | kTdesJabber;
          raise(kTjt);
        } else {
          const size_t at = txFrame_.size();
          txFrame_.resize(at + size1 + size2);
          dmaIn(d[2], txFrame_.data() + at, size1);
          dmaIn(d[3], txFrame_.data() + at + size1, size2);
          if (d[1] & kDesLs) {
            txFrameOpen_ = false;
            status = sendFrame(d[1]);
          } else {
            closes = false;  // the frame's status goes into its last descriptor
          }
        }
      }
      dmaOut(txCurrent_, &status, sizeof status);
      if (closes && (d[1] & kDesIc)) raise(kTi);
      txCurrent_ = nextDescriptor(txCurrent_, d[1], d[3], csr4_);
    }
  }
  serviceInbound();  // frames that came back through a loopback
}

uint32_t Dec21143::carrierLoss() const {
  // Without carrier a half-duplex transmission reports it lost; full duplex ignores carrier.
  return (csr6_ & kCsr6FullDuplex) ? 0 : kTdesErrorSummary | kTdesLossOfCarrier | kTdesNoCarrier;
}

// Where a finished frame goes: the internal loopback, the PHY (which may loop
// it back) and the wire, or nowhere (the SIA port is not wired on these boards).
uint32_t Dec21143::sendFrame(uint32_t tdes1) {
  std::vector<uint8_t>& frame = txFrame_;
  if (frame.size() < kMinFrame && !(tdes1 & kDesNoPadding)) frame.resize(kMinFrame, 0);
  const uint32_t mode = (csr6_ >> kCsr6ModeShift) & 3;
  if (mode == kModeInternalLoopback) {
    loopBack(frame, Source::InternalLoopback);
    return 0;
  }
  if (!(csr6_ & kCsr6PortSelect) || phy_ == nullptr || phy_->isolated() || phy_->poweredDown()) {
    return carrierLoss();
  }
  if (phy_->loopback()) {
    loopBack(frame, mode == kModeExternalLoopback ? Source::ExternalLoopback : Source::Wire);
    return 0;
  }
  if (!phy_->linkUp()) return carrierLoss();
  if (wire_ != nullptr) {
    ++stats_.framesSent;
    wire_->transmit(this, frame.data(), frame.size());
  }
  return 0;
}

void Dec21143::loadSetupFrame(uint32_t tdes1, uint32_t tdes2) {
  uint8_t frame[SetupFilter::kFrameBytes] = {};
  const size_t length = std::min<size_t>(tdes1 & kSize1Mask, sizeof frame);
  if (!dmaIn(tdes2, frame, length)) return;
  filter_.load(frame, length);
  uint32_t bits = 0;
  switch (((tdes1 & kDesFt1) ? 2 : 0) | ((tdes1 & kDesFt0) ? 1 : 0)) {
    case 1: bits = kCsr6HashPerfect; break;                  // hash table and one perfect address
    case 2: bits = kCsr6Inverse; break;                      // inverse perfect filtering
    case 3: bits = kCsr6HashPerfect | kCsr6HashOnly; break;  // hash table only
    default: break;                                          // perfect filtering
  }
  csr6_ = (csr6_ & ~kCsr6Filter) | bits;
  ++stats_.setupFrames;
}

void Dec21143::loopBack(const std::vector<uint8_t>& frame, Source source) {
  ++stats_.framesLooped;
  if (faults_.loopbackDrops) return;
  Inbound in{frame, EthernetFcs(frame.data(), frame.size()), source};
  const int bad = faults_.loopbackCorruptByte;
  if (bad >= 0 && static_cast<size_t>(bad) < in.frame.size()) in.frame[bad] ^= 0xFF;
  queueInbound(std::move(in));
}

// ---- Receive ----

bool Dec21143::lineReceives() const {
  const uint32_t mode = (csr6_ >> kCsr6ModeShift) & 3;
  return mode != kModeInternalLoopback && (csr6_ & kCsr6PortSelect) && phy_ != nullptr && !phy_->isolated() &&
         !phy_->loopback() && phy_->linkUp();
}

void Dec21143::receiveFrame(const uint8_t* frame, size_t length) {
  if (asleep() || !lineReceives()) return;
  queueInbound(Inbound{std::vector<uint8_t>(frame, frame + length), EthernetFcs(frame, length), Source::Wire});
}

void Dec21143::queueInbound(Inbound&& in) {
  if (rx_ == RxState::Stopped) return;
  if (inbound_.size() >= kFifoFrames) {
    if (fifoOverflows_ < 0x7FF) ++fifoOverflows_;
    return;
  }
  inbound_.push_back(std::move(in));
  serviceInbound();
}

void Dec21143::serviceInbound() {
  if (working_) return;
  Busy busy(working_);
  while (!inbound_.empty() && rx_ != RxState::Stopped && canDma()) {
    Inbound in = std::move(inbound_.front());
    inbound_.pop_front();
    receive(in);
  }
  if (rx_ == RxState::Stopped) inbound_.clear();
}

bool Dec21143::passesFilter(const uint8_t* destination) const {
  if (csr6_ & kCsr6Promiscuous) return true;
  if ((csr6_ & kCsr6PassAllMulticast) && (destination[0] & 1)) return true;
  SetupFilter::Mode mode = SetupFilter::Mode::Perfect;
  if (csr6_ & kCsr6HashOnly) {
    mode = SetupFilter::Mode::HashOnly;
  } else if (csr6_ & kCsr6HashPerfect) {
    mode = SetupFilter::Mode::Hash;
  } else if (csr6_ & kCsr6Inverse) {
    mode = SetupFilter::Mode::Inverse;
  }
  return filter_.passes(destination, mode);
}

void Dec21143::missFrame() {
  if ((missed_ & 0xFFFF) == 0xFFFF) {
    missed_ |= kCsr8Overflow;
  } else {
    ++missed_;
  }
  ++stats_.framesMissed;
  rx_ = RxState::Suspended;
  raise(kRu);
}

// One frame into the receive list: its bytes and the CRC spread over as many
// descriptors as it takes, FS on the first, LS and the status on the last.
void Dec21143::receive(const Inbound& in) {
  if (in.frame.size() < 6 || in.frame.size() + 4 > kMaxReceive) return;
  const uint8_t* destination = in.frame.data();
  const bool passed = passesFilter(destination);
  if (!passed && !(csr6_ & kCsr6ReceiveAll)) return;

  std::vector<uint8_t> bytes(in.frame);
  uint32_t fcs = in.fcs;
  ++framesCounted_;
  if (faults_.rxCrcErrorEvery != 0 && framesCounted_ % faults_.rxCrcErrorEvery == 0) fcs = ~fcs;
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(fcs >> (8 * i)));
  const size_t length = bytes.size();
  const bool runt = length < kMinFrameNoError;
  if (runt && !(csr6_ & kCsr6PassBad)) return;  // collision fragments and runts are dropped

  uint32_t status = static_cast<uint32_t>(in.source) << kRdesTypeShift;
  if (!passed) status |= kRdesFilterFail;
  if (destination[0] & 1) status |= kRdesMulticast;
  if (in.frame.size() >= 14 && (in.frame[12] << 8 | in.frame[13]) >= 0x0600) status |= kRdesFrameType;
  if (length > kMaxFrameNoError) status |= kRdesTooLong;
  if (runt) status |= kRdesRunt;
  if (EthernetFcs(in.frame.data(), in.frame.size()) != fcs) status |= kRdesCrcError;
  if (status & (kRdesCrcError | kRdesRunt | kRdesTooLong)) status |= kRdesErrorSummary;

  size_t done = 0;
  uint32_t lastAt = 0;
  uint32_t lastStatus = 0;
  for (int n = 0; n < kDescriptorsPerPass; ++n) {
    uint32_t d[4];
    if (!dmaIn(rxCurrent_, d, sizeof d)) return;
    if (!(d[0] & kOwn)) {
      if (n == 0) {
        missFrame();
      } else {
        // No descriptor for the rest: the frame ends truncated in the last one.
        lastStatus |= kRdesLs | kRdesDescriptorError | kRdesErrorSummary;
        dmaOut(lastAt, &lastStatus, sizeof lastStatus);
        rx_ = RxState::Suspended;
        raise(kRu | kRi);
      }
      return;
    }
    rx_ = RxState::Running;
    const size_t size1 = d[1] & kSize1Mask;
    const size_t size2 = (d[1] & kDesChained) ? 0 : (d[1] >> kSize2Shift) & kSize1Mask;
    const size_t n1 = std::min(size1, length - done);
    dmaOut(d[2], bytes.data() + done, n1);
    done += n1;
    const size_t n2 = std::min(size2, length - done);
    dmaOut(d[3], bytes.data() + done, n2);
    done += n2;
    // Before the last descriptor the length field shows the bytes so far.
    uint32_t rdes0 = (n == 0 ? kRdesFs : 0) | static_cast<uint32_t>(done) << kRdesLengthShift;
    if (done == length) rdes0 |= kRdesLs | status;
    dmaOut(rxCurrent_, &rdes0, sizeof rdes0);
    lastAt = rxCurrent_;
    lastStatus = rdes0;
    rxCurrent_ = nextDescriptor(rxCurrent_, d[1], d[3], csr3_);
    if (done == length) {
      ++stats_.framesReceived;
      raise(kRi);
      lookAhead();
      return;
    }
  }
}

// The receive process fetches its next descriptor when it starts and after
// every frame; one the host owns suspends it.
void Dec21143::lookAhead() {
  uint32_t rdes0 = 0;
  if (dmaIn(rxCurrent_, &rdes0, sizeof rdes0) && !(rdes0 & kOwn)) {
    rx_ = RxState::Suspended;
    raise(kRu);
  }
}

void Dec21143::startReceive() {
  rx_ = RxState::Running;
  lookAhead();
}

// A suspended receive process looks at its descriptor again; so does the
// arrival of the next frame (receive()).
void Dec21143::receivePollDemand() {
  if (rx_ != RxState::Suspended) return;
  uint32_t rdes0 = 0;
  if (!dmaIn(rxCurrent_, &rdes0, sizeof rdes0)) return;
  if (rdes0 & kOwn) {
    rx_ = RxState::Running;
  } else {
    raise(kRu);
  }
  serviceInbound();
}

}  // namespace sim
