// Media: PHY detection, connection types, link state and keeping CSR6's duplex
// and threshold mode in step with what the PHY (or the SIA) reports.
#include <cstdint>

#include "hw/mii.h"
#include "hw/r83drv.h"
#include "hw/r83drv_internal.h"
#include "hw/r83drv_regs.h"

using namespace r83;

namespace {

// A PHY whose status keeps changing is followed this many times per update;
// the next link interrupt brings the rest.
constexpr int kLinkPasses = 8;

bool no_phy(const Adapter* a) { return a->phykind == R83_PHY_NONE_SUB5 || a->phykind == R83_PHY_NONE; }

// The PHY's status word in the vendor register, masked to the bits that matter.
uint16_t phy_status(Adapter* a) {
  if (a->phykind == R83_PHY_LXT970) return adapter_mii_read(a, 20) & 0x3B35;
  return adapter_mii_read(a, 17) & 0x7FDC;
}

struct PhyState {
  bool fullDuplex;
  bool speed100;
  bool link;
};

PhyState decode(const Adapter* a, uint16_t s) {
  if (a->phykind == R83_PHY_LXT970) return {(s & 0x1000) != 0, (s & 0x0800) != 0, (s & 0x2000) != 0};
  return {(s & 0x0200) != 0, (s & 0x4000) != 0, (s & 0x0400) != 0};
}

// Stops both processes, writes the new mode and restarts what was running.
int32_t change_mode(Adapter* a, uint32_t v, uint32_t wanted, bool sia) {
  if (!r83drv_wait_stopped(a, v & ~CSR6_RUNNING, CSR5_TXRX_STATE)) {
    r83drv_csr_write(a, CSR6, v);
    a->lasterror = "DEC 21143 does not stop for a media change";
    return -1;
  }
  r83drv_csr_write(a, CSR6, wanted & ~CSR6_RUNNING);
  if (sia) {
    r83drv_csr_write(a, CSR13, 0);
    r83drv_csr_write(a, CSR14, a->siamedia == R83_MEDIA_10T_FD ? 0x7F3D : 0x7F3F);
    r83drv_csr_write(a, CSR13, 1);
  }
  // Only the processes that ran before: an adapter that was never started has
  // no lists for the chip to fetch from.
  r83drv_csr_write(a, CSR6, (wanted & ~CSR6_RUNNING) | (v & CSR6_RUNNING));
  return 0;
}

struct MediaChoice {
  uint32_t needs;
  uint16_t advertisement;
  uint16_t control;
  uint16_t check;
};

MediaChoice choice(uint32_t type) {
  switch (type) {
    case R83_MEDIA_10T: return {0x20, 0x0021, 0x0000, 0x3100};
    case R83_MEDIA_10T_FD: return {0x40, 0x0041, 0x0100, 0x3100};
    case R83_MEDIA_100TX: return {0x80, 0x0081, 0x2000, 0x3100};
    case R83_MEDIA_100TX_FD: return {0x100, 0x0101, 0x2100, 0x3100};
    default: return {0x1E0, 0x01E1, 0x1200, 0x1000};
  }
}

}  // namespace

bool r83drv_wait_stopped(Adapter* a, uint32_t value, uint32_t stateMask) {
  const R83Deadline d = r83drv_deadline(a, R83_WAIT_MICROS);
  for (;;) {
    r83drv_csr_write(a, CSR6, value);
    if ((r83drv_csr_read(a, CSR5) & stateMask) == 0) return true;
    if (r83drv_expired(a, d)) return false;
    host_delay(a, R83_POLL_MICROS);
  }
}

void r83drv_detect_phy(Adapter* a) {
  const uint32_t id = ((uint32_t{adapter_mii_read(a, MII_ID1)} << 16) | adapter_mii_read(a, MII_ID2)) & ~0xFu;
  // All zeros or all ones: nothing answers on the MII.
  if (id == 0 || id == 0xFFFFFFF0u) {
    a->phycaps = 0x20;
    a->phykind = (host_config_read(a, CSID) >> 16) == 5 ? R83_PHY_NONE_SUB5 : R83_PHY_NONE;
    return;
  }
  a->phykind = id;
  a->phycaps = adapter_mii_read(a, MII_ANAR);
  if (a->phycaps == 0x0001) a->phycaps = 0x0181;  // selector only: a fibre PHY at 100 Mb/s
}

int32_t r83drv_link_update(Adapter* a) {
  if (a->phykind == R83_PHY_NONE_SUB5) {
    host_link_change(a, 0, (r83drv_csr_read(a, CSR15) & 0x00010000) ? 1 : 0);
    return 0;
  }
  if (a->phykind == R83_PHY_NONE) {
    const uint32_t v = r83drv_csr_read(a, CSR6);
    const uint32_t wanted = a->siamedia == R83_MEDIA_10T_FD ? v | CSR6_FD : v & ~CSR6_FD;
    if (wanted != v && change_mode(a, v, wanted, true) != 0) return -1;
    host_link_change(a, 0, (r83drv_csr_read(a, CSR12) & 0x4) ? 0 : 1);
    return 0;
  }
  if (a->phykind != R83_PHY_LXT970 && a->phykind != R83_PHY_LXT971) return 0;

  uint16_t s = phy_status(a);
  for (int pass = 0; pass < kLinkPasses; ++pass) {
    const PhyState p = decode(a, s);
    const uint32_t v = r83drv_csr_read(a, CSR6);
    uint32_t wanted = v & ~(CSR6_FD | CSR6_TTM);
    if (p.fullDuplex) wanted |= CSR6_FD;
    if (!p.speed100) wanted |= CSR6_TTM;
    if (wanted != v && change_mode(a, v, wanted, false) != 0) return -1;
    host_link_change(a, 0, p.link ? 1 : 0);
    const uint16_t again = phy_status(a);
    if (again == s) break;
    s = again;
  }
  return 0;
}

int32_t r83drv_set_media(Adapter* a, int /*port*/, uint32_t type) {
  if (a->phykind == R83_PHY_NONE_SUB5) return 0;
  if (a->phykind == R83_PHY_NONE) {
    a->siamedia = type;
    return r83drv_link_update(a);
  }
  const MediaChoice c = choice(type);
  if ((a->phycaps & c.needs) != c.needs) return 0;
  for (int attempt = 0; attempt < 12; ++attempt) {
    adapter_mii_write(a, MII_ANAR, c.advertisement);
    adapter_mii_write(a, MII_BMCR, c.control);
    if (r83drv_link_update(a) != 0) return -1;
    if ((adapter_mii_read(a, MII_ANAR) & 0x01E1) != c.advertisement) continue;
    if ((adapter_mii_read(a, MII_BMCR) & c.check) == (c.control & ~0x0200)) break;
  }
  return 0;
}

uint32_t r83drv_get_media(Adapter* a, int /*port*/) {
  if (a->phykind == R83_PHY_NONE_SUB5) return R83_MEDIA_10T;
  if (a->phykind == R83_PHY_NONE) return (r83drv_csr_read(a, CSR14) & 0x2) ? R83_MEDIA_10T : R83_MEDIA_10T_FD;
  if (a->phykind == R83_PHY_LXT970) {
    const uint16_t s = adapter_mii_read(a, 20) & 0x3B35;
    adapter_mii_read(a, 19);
    const bool fd = (s & 0x1000) != 0;
    if (s & 0x0800) return fd ? R83_MEDIA_100TX_FD : R83_MEDIA_100TX;
    return fd ? R83_MEDIA_10T_FD : R83_MEDIA_10T;
  }
  if (a->phykind == R83_PHY_LXT971) {
    const uint16_t s = adapter_mii_read(a, 17);
    const uint16_t r = adapter_mii_read(a, 16);
    const bool fd = (s & 0x0200) != 0;
    if ((r & 0x0001) || (s & 0x4000)) return fd ? R83_MEDIA_100TX_FD : R83_MEDIA_100TX;
    return fd ? R83_MEDIA_10T_FD : R83_MEDIA_10T;
  }
  return R83_MEDIA_AUTO;
}

bool r83drv_get_link(Adapter* a, int /*port*/) {
  if (no_phy(a)) return (r83drv_csr_read(a, CSR15) & 0x00010000) != 0;
  if (a->phykind == R83_PHY_LXT970) return (adapter_mii_read(a, 20) & 0x2000) != 0;
  if (a->phykind == R83_PHY_LXT971) return (adapter_mii_read(a, 17) & 0x0400) != 0;
  return false;
}
