#include "hw/mii.h"

#include "pci/sys_access.h"

namespace {

constexpr uint32_t kCsr9 = 0x48;
constexpr uint32_t kMiiClock = 0x10000;
constexpr int kMiiDataOutShift = 17;
constexpr uint32_t kMiiRelease = 0x40000;
constexpr int kMiiDataInShift = 19;
constexpr int kBoardPhy = 1;
// Two more than the 32 ones a PHY needs before it looks for a start.
constexpr int kPreambleBits = 34;

void put_bits(Adapter* adapter, uint32_t bits, int count, MiiPutBitFn put) {
  for (int i = count - 1; i >= 0; --i) put(adapter, static_cast<int>((bits >> i) & 1));
}

// Preamble, start 01, the two opcode bits, then PHY address and register.
void put_header(Adapter* adapter, uint32_t opcode, int phy, int reg, MiiPutBitFn put) {
  for (int i = 0; i < kPreambleBits; ++i) put(adapter, 1);
  put_bits(adapter, (0x1u << 2) | opcode, 4, put);
  put_bits(adapter, static_cast<uint32_t>(phy) & 0x1F, 5, put);
  put_bits(adapter, static_cast<uint32_t>(reg) & 0x1F, 5, put);
}

}  // namespace

uint16_t mii_read(Adapter* adapter, int phy, int reg, MiiPutBitFn put, MiiGetBitFn get) {
  put_header(adapter, 0x2, phy, reg, put);
  get(adapter);  // turnaround
  uint16_t value = 0;
  for (int i = 0; i < 16; ++i) value = static_cast<uint16_t>((value << 1) | (get(adapter) & 1));
  get(adapter);  // the PHY lets the line go
  return value;
}

void mii_write(Adapter* adapter, int phy, int reg, uint16_t value, MiiPutBitFn put) {
  put_header(adapter, 0x1, phy, reg, put);
  put_bits(adapter, 0x2, 2, put);  // turnaround, driven 1 0
  put_bits(adapter, value, 16, put);
}

void csr9_mii_put_bit(Adapter* adapter, int bit) {
  uint32_t v = static_cast<uint32_t>(bit & 1) << kMiiDataOutShift;
  host_mem_write(adapter, kCsr9, v);
  host_delay(adapter, 1);
  host_mem_write(adapter, kCsr9, v | kMiiClock);
  host_delay(adapter, 1);
}

int csr9_mii_get_bit(Adapter* adapter) {
  host_mem_write(adapter, kCsr9, kMiiRelease);
  host_delay(adapter, 1);
  host_mem_write(adapter, kCsr9, kMiiRelease | kMiiClock);
  host_delay(adapter, 1);
  return static_cast<int>((host_mem_read(adapter, kCsr9) >> kMiiDataInShift) & 1);
}

uint16_t adapter_mii_read(Adapter* adapter, int reg) {
  uint16_t value = mii_read(adapter, kBoardPhy, reg, csr9_mii_put_bit, csr9_mii_get_bit);
  host_mem_write(adapter, kCsr9, 0);
  return value;
}

void adapter_mii_write(Adapter* adapter, int reg, uint16_t value) {
  mii_write(adapter, kBoardPhy, reg, value, csr9_mii_put_bit);
  host_mem_write(adapter, kCsr9, 0);
}
