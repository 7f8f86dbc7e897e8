#include "hw/srom.h"

#include "pci/sys_access.h"

namespace {

constexpr uint32_t kCsr9 = 0x48;
// Serial ROM select (bit 11) and write operation (bit 13): keeps the serial-ROM
// path of CSR9 selected for the whole access.
constexpr uint32_t kSromPath = 0x2800;
constexpr uint32_t kSromClock = 0x0002;
constexpr uint32_t kSromDataOut = 0x0008;
constexpr int kAddressMask = 0x3F;
// A first ready sample and up to 5000 more: far longer than any programming cycle.
constexpr int kReadySamples = 5001;

// Clocks out the low `count` bits of `bits`, most significant first, with chip select high.
void shift_out(Adapter* adapter, uint32_t bits, int count, SromBitFn bit) {
  for (int i = count - 1; i >= 0; --i) bit(adapter, 1, static_cast<int>((bits >> i) & 1));
}

// Chip select low for one cycle, then high: the EEPROM is idle and waits for a start bit.
void begin_command(Adapter* adapter, SromBitFn bit) {
  bit(adapter, 0, 0);
  bit(adapter, 1, 0);
}

}  // namespace

uint16_t srom_read(Adapter* adapter, int address, SromBitFn bit) {
  begin_command(adapter, bit);
  // Leading 0, start bit, READ opcode 10, six address bits.
  shift_out(adapter, 0x180u | static_cast<uint32_t>(address & kAddressMask), 10, bit);
  uint16_t word = 0;
  for (int i = 0; i < 16; ++i) word = static_cast<uint16_t>((word << 1) | (bit(adapter, 1, 0) & 1));
  bit(adapter, 0, 0);
  return word;
}

void srom_write(Adapter* adapter, int address, uint16_t value, SromBitFn bit) {
  begin_command(adapter, bit);
  // Leading 0, start bit, WRITE opcode 01, six address bits, sixteen data bits.
  uint32_t frame = ((static_cast<uint32_t>(address & kAddressMask) | 0x140u) << 16) | value;
  shift_out(adapter, frame, 26, bit);
  // Dropping and raising chip select starts programming; data out then shows busy (0) or ready (1).
  begin_command(adapter, bit);
  for (int i = 0; i < kReadySamples; ++i) {
    if (bit(adapter, 1, 0) == 1) break;
  }
  bit(adapter, 0, 0);
}

void srom_write_enable(Adapter* adapter, int enable, SromBitFn bit) {
  begin_command(adapter, bit);
  // Start bit, opcode 00, then address bits 11xxxx (EWEN) or 00xxxx (EWDS).
  shift_out(adapter, enable ? 0x130u : 0x100u, 10, bit);
  bit(adapter, 0, 0);
}

void srom_read_station_address(Adapter* adapter, uint8_t* out, SromBitFn bit) {
  for (int i = 0; i < 3; ++i) {
    uint16_t word = srom_read(adapter, 42 + i, bit);
    out[2 * i] = static_cast<uint8_t>(word >> 8);
    out[2 * i + 1] = static_cast<uint8_t>(word & 0xFF);
  }
}

int csr9_srom_bit(Adapter* adapter, int select, int dataIn) {
  uint32_t v = (static_cast<uint32_t>(dataIn & 1) << 2) | kSromPath | static_cast<uint32_t>(select & 1);
  host_mem_write(adapter, kCsr9, v);
  host_delay(adapter, 1);
  host_mem_write(adapter, kCsr9, v | kSromClock);
  host_delay(adapter, 1);
  int result = (host_mem_read(adapter, kCsr9) & kSromDataOut) ? 1 : 0;
  host_mem_write(adapter, kCsr9, v);
  host_delay(adapter, 1);
  return result;
}

uint16_t adapter_srom_read(Adapter* adapter, int address) { return srom_read(adapter, address, csr9_srom_bit); }

void adapter_srom_write(Adapter* adapter, int address, uint16_t value) {
  srom_write(adapter, address, value, csr9_srom_bit);
}

void adapter_srom_write_enable(Adapter* adapter, int enable) {
  srom_write_enable(adapter, enable, csr9_srom_bit);
}

void adapter_read_station_address(Adapter* adapter, uint8_t* out) {
  srom_read_station_address(adapter, out, csr9_srom_bit);
}
