// The built-in board check of an LXT970 board: configuration, CSR and PHY
// registers against their expected values, read-only bits, the serial EEPROM,
// the PHY's scratch register and a frame through two loopbacks.
#include <cstdint>

#include "hw/mii.h"
#include "hw/r83drv.h"
#include "hw/r83drv_assert.h"
#include "hw/r83drv_internal.h"
#include "hw/r83drv_regs.h"
#include "hw/srom.h"

using namespace r83;

namespace {

struct Expect {
  uint32_t value;
  uint32_t mask;
};

// ---- Configuration space (64 dwords) ----

Expect config_expect(int dword) {
  switch (dword * 4) {
    case 0x00: return {0x00191011, 0xFFFFFFFF};
    case 0x08: return {0x02000000, 0xFFFFFF00};
    case 0x3C: return {0x28140100, 0xFFFFFF00};
    default: return {0, 0};
  }
}

uint32_t config_readonly(int k, int dword) {
  const int offset = dword * 4;
  if (k == 1) {
    switch (offset) {
      case 0x00: return 0xFFFFFFFF;
      case 0x08: return 0xFFFFFF00;
      case 0x0C: return 0x00FF0000;
      case 0x2C: return 0xFFFFFFFF;
      case 0x3C: return 0xFFFFFF00;
      default: return 0;
    }
  }
  if (k == 2) {
    switch (offset) {
      case 0x04: return 0x000FFC00;
      case 0x0C: return 0x30000000;
      case 0x10: return 0x00000002;
      case 0x30: return 0x000007FE;
      case 0x34: return 0xFFFFFFFF;
      case 0x38: return 0xFFFFFFFF;
      default: return 0;
    }
  }
  return offset >= 0x58 && offset != 0xDC && offset != 0xE0 ? 0xFFFFFFFF : 0;
}

// ---- CSR window (32 dwords) ----

Expect csr_expect(int dword) {
  switch (dword * 4) {
    case 0x00: return {0, 0x00010000};
    case 0x08: return {0xFFFFFFFF, 0xFFFFFFFF};
    case 0x10: return {0xFFFFFFFF, 0xFFFFFFFF};
    case 0x30: return {0x02000000, 0x0E010100};
    case 0x78: return {0, 0x00000100};
    default: return {0, 0};
  }
}

uint32_t csr_readonly(int dword) {
  switch (dword * 4) {
    case 0x28: return 0x03FE0000;
    case 0x30: return 0x00000015;
    default: return 0;
  }
}

// ---- MII registers 0 to 31 ----

Expect mii_expect(int reg) {
  switch (reg) {
    case 0: return {0, 0x007F};
    case 1: return {0x7809, 0xFFC9};
    case 2: return {0x7810, 0xFFFF};
    case 3: return {0, 0xFFF0};
    case 4: return {0, 0xC000};
    case 5: return {0, 0x1800};
    case 6: return {0, 0xFFE4};
    case 18: return {0, 0x3FFF};
    default: return {0, reg >= 7 && reg <= 15 ? 0xFFFFu : 0u};
  }
}

uint32_t mii_readonly(int reg) {
  if (reg == 0) return 0x007F;
  if (reg == 20) return 0xFBDC;
  if ((reg >= 1 && reg <= 3) || (reg >= 5 && reg <= 15) || reg == 18 || reg >= 21) return 0xFFFF;
  return 0;
}

// ---- Steps ----

uint16_t check_config(Adapter* a) {
  for (int i = 0; i < 64; ++i) {
    const Expect e = config_expect(i);
    if ((host_config_read(a, 4 * i) & e.mask) != (e.value & e.mask)) return 100;
  }
  for (int k = 1; k <= 3; ++k) {
    for (int i = 0; i < 64; ++i) {
      const uint32_t mask = config_readonly(k, i);
      if (mask == 0) continue;  // nothing to check; a write could only disturb the part
      const uint32_t v = host_config_read(a, 4 * i);
      host_config_write(a, 4 * i, v ^ mask);
      const uint32_t r = host_config_read(a, 4 * i);
      if ((r & mask) != (v & mask)) {
        host_config_write(a, 4 * i, v);
        return static_cast<uint16_t>(100 * (k + 1));
      }
    }
  }
  return 0;
}

uint16_t check_csr_values(Adapter* a, uint16_t code) {
  for (int i = 0; i < 32; ++i) {
    const Expect e = csr_expect(i);
    if ((host_mem_read(a, 4 * i) & e.mask) != (e.value & e.mask)) return code;
  }
  return 0;
}

uint16_t check_csrs(Adapter* a) {
  if (!(host_config_read(a, CFCS) & 0x3)) return 510;
  for (int i = 0; i < 32; ++i) {
    const Expect e = csr_expect(i);
    const uint32_t v = host_mem_read(a, 4 * i);
    if ((v & e.mask) != (e.value & e.mask)) return 520;
    const uint32_t ro = csr_readonly(i);
    if (ro == 0) continue;
    host_mem_write(a, 4 * i, v ^ ro);
    const uint32_t r = host_mem_read(a, 4 * i);
    if ((r & ro) != (v & ro)) {
      host_mem_write(a, 4 * i, v);
      return 521;
    }
  }

  // With decoding off nothing may answer: every offset reads as CSR0 does (the
  // bus's idle value) and takes no writes.
  const uint32_t cfcs = host_config_read(a, CFCS);
  host_config_write(a, CFCS, 0);
  const uint32_t b = host_mem_read(a, 0);
  for (int i = 0; i < 32; ++i) {
    if (host_mem_read(a, 4 * i) != b) {
      host_config_write(a, CFCS, cfcs);
      return 530;
    }
    host_mem_write(a, 4 * i, ~b);
    if (host_mem_read(a, 4 * i) != b) {
      host_config_write(a, CFCS, cfcs);
      return 531;
    }
  }
  host_config_write(a, CFCS, cfcs);
  return check_csr_values(a, 540);
}

void write_words(Adapter* a, const uint16_t* words) {
  for (int i = 0; i < 64; ++i) adapter_srom_write(a, i, words[i]);
}

uint16_t check_eeprom(Adapter* a) {
  uint16_t saved[64];
  for (int i = 0; i < 64; ++i) saved[i] = adapter_srom_read(a, i);
  adapter_srom_write_enable(a, 1);
  for (int i = 0; i < 64; ++i) adapter_srom_write(a, i, static_cast<uint16_t>(~saved[i]));
  bool inverted = true;
  for (int i = 0; i < 64; ++i) {
    if (adapter_srom_read(a, i) != static_cast<uint16_t>(~saved[i])) inverted = false;
  }
  write_words(a, saved);
  if (!inverted) {
    adapter_srom_write_enable(a, 0);  // never leave the contents open to stray writes
    return 630;
  }
  for (int i = 0; i < 64; ++i) {
    if (adapter_srom_read(a, i) != saved[i]) {
      adapter_srom_write_enable(a, 0);
      return 640;
    }
  }
  adapter_srom_write_enable(a, 0);
  adapter_srom_write(a, 0, static_cast<uint16_t>(~saved[0]));
  if (adapter_srom_read(a, 0) != saved[0]) {
    // The protection failed: put the word back (writes must be enabled for that).
    adapter_srom_write_enable(a, 1);
    adapter_srom_write(a, 0, saved[0]);
    adapter_srom_write_enable(a, 0);
    return 660;
  }
  return 0;
}

uint16_t check_phy(Adapter* a) {
  adapter_mii_write(a, 16, 0x5555);
  if (adapter_mii_read(a, 16) != 0x5555) return 710;
  adapter_mii_write(a, 16, 0xAAAA);
  if (adapter_mii_read(a, 16) != 0xAAAA) return 711;
  for (int reg = 0; reg < 32; ++reg) {
    const Expect e = mii_expect(reg);
    // A first read settles the latching bits (link status low, interrupt
    // status): otherwise the read-back would differ from v without any write.
    adapter_mii_read(a, reg);
    const uint16_t v = adapter_mii_read(a, reg);
    if ((v & e.mask) != (e.value & e.mask)) return 721;
    const uint16_t ro = static_cast<uint16_t>(mii_readonly(reg));
    if (ro == 0) continue;
    adapter_mii_write(a, reg, static_cast<uint16_t>(v ^ ro));
    const uint16_t r = adapter_mii_read(a, reg);
    if ((r & ro) != (v & ro)) {
      adapter_mii_write(a, reg, v);
      return 722;
    }
  }
  if (!(adapter_mii_read(a, 18) & 0x4000)) return 730;
  if (adapter_mii_read(a, 20) & 0x0004) return 740;
  return 0;
}

// Scratch layout in the descriptor area and the buffers behind it.
constexpr uint32_t kTxData = 32;
constexpr uint32_t kRxDesc = 2048;
constexpr uint32_t kRxData = 2080;
constexpr uint32_t kFrameBytes = 256;
constexpr uint32_t kScratchBytes = kRxData + R83_BUFFER_SIZE;
constexpr uint32_t kOwnPolls = 16777217;

bool wait_returned(volatile const uint32_t* des0) {
  for (uint32_t i = 0; i < kOwnPolls; ++i) {
    if (!(*des0 & OWN)) return true;
  }
  return false;
}

// mode 1: 100 Mb/s through the chip's internal loopback; mode 0: 10 Mb/s with
// the PHY looping the frame back.
uint16_t loopback(Adapter* a, int mode) {
  if (!(host_config_read(a, CFCS) & 0x4)) return 10;
  host_config_write(a, CFDD, 0);
  host_mem_write(a, CSR0, CSR0_RESET);
  host_delay(a, 2);
  adapter_mii_write(a, MII_BMCR, BMCR_RESET);
  host_delay(a, 1);

  const uint32_t cls = host_config_read(a, CFLT) & 0xFF;
  const uint32_t busmode = cls == 16 ? 0x01A0A002 : cls == 32 ? 0x01A0E002 : 0x01A06002;
  adapter_mii_write(a, MII_BMCR, mode ? 0x2000 : 0x4000);

  uint8_t* base = a->desvirt;
  volatile TxChipDesc* tx = reinterpret_cast<volatile TxChipDesc*>(base);
  volatile TxChipDesc* tx2 = reinterpret_cast<volatile TxChipDesc*>(base + 16);
  volatile RxChipDesc* rx = reinterpret_cast<volatile RxChipDesc*>(base + kRxDesc);
  volatile RxChipDesc* rx2 = reinterpret_cast<volatile RxChipDesc*>(base + kRxDesc + 16);
  tx->tdes0 = OWN;
  tx->tdes1 = 0x62000100;  // FS, LS, TER, 256 bytes
  tx->tdes2 = a->desphys + kTxData;
  tx->tdes3 = 0;
  tx2->tdes0 = 0;
  tx2->tdes1 = 0x02000000;
  for (uint32_t i = 0; i < kFrameBytes; ++i) base[kTxData + i] = static_cast<uint8_t>(i);
  for (uint32_t i = 0; i < kFrameBytes; ++i) base[kRxData + i] = static_cast<uint8_t>(~i);
  rx->rdes0 = OWN;
  rx->rdes1 = R83_BUFFER_SIZE;
  rx->rdes2 = a->desphys + kRxData;
  rx->rdes3 = 0;
  rx2->rdes0 = 0;
  rx2->rdes1 = 0x02000000;

  const uint32_t stopped = mode ? 0x420C0440 : 0x420C0840;
  host_mem_write(a, CSR5, 0xFFFFFFFF);
  host_mem_write(a, CSR0, busmode);
  host_mem_write(a, CSR6, stopped);
  host_mem_write(a, CSR4, a->desphys);
  host_mem_write(a, CSR3, a->desphys + kRxDesc);
  host_mem_write(a, CSR13, 0);
  host_mem_write(a, CSR14, 0);
  host_mem_write(a, CSR15, 0x890F0000);
  host_mem_write(a, CSR15, 0x800F0000);
  host_mem_write(a, CSR6, mode ? 0x420C2442 : 0x420C2842);
  host_mem_write(a, CSR1, 0xFFFFFFFF);

  uint16_t code = 0;
  if (!wait_returned(&tx->tdes0)) {
    code = 20;
  } else if (!wait_returned(&rx->rdes0)) {
    code = 30;
  } else {
    for (uint32_t i = 0; i < kFrameBytes && code == 0; ++i) {
      if (base[kRxData + i] != static_cast<uint8_t>(i)) code = 40;
    }
  }
  // Stopped in every case: the chip must not go on using the scratch lists.
  host_mem_write(a, CSR6, stopped);
  return code;
}

}  // namespace

uint16_t r83drv_selftest(Adapter* a) {
  // The loopback needs the descriptor area and the buffers behind it.
  R83_ASSERT(a->desvirt != nullptr);
  R83_ASSERT(a->dessize + R83_BUFFER_SIZE * (a->tdcount + a->rdcount) >= kScratchBytes);

  r83drv_set_media(a, 0, R83_MEDIA_100TX_FD);
  host_delay(a, 500000);
  uint16_t code = check_config(a);
  if (code == 0) code = check_csrs(a);
  if (code == 0) code = check_eeprom(a);
  if (code == 0) code = check_phy(a);
  if (code == 0) {
    const uint16_t fast = loopback(a, 1);
    if (fast != 0) return static_cast<uint16_t>(800 + fast);
    const uint16_t slow = loopback(a, 0);
    if (slow != 0) return static_cast<uint16_t>(900 + slow);
  }
  if (code != 0) return code;
  r83drv_set_media(a, 0, R83_MEDIA_10T_FD);
  return 0;
}
