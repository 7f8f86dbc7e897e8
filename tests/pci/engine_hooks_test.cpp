// The packet engine's host hooks: DMA carving and the received-frame list.
#include <gtest/gtest.h>

#include <vector>

#include "hw/adapter.h"
#include "pci/engine_hooks.h"
#include "support/fake_config_system.h"

namespace {

class EngineHooks : public ::testing::Test {
 protected:
  void SetUp() override {
    system.dmaVirtual = block.data();
    system.dmaPhysical = 0x00200000;
    system.dmaSize = 0x10000;
    a.host = &system;
  }
  std::vector<uint8_t> block = std::vector<uint8_t>(0x10000);
  FakeConfigSystem system;
  Adapter a;
};

TEST_F(EngineHooks, CarvesOn32ByteBoundaries) {
  void* v1 = nullptr;
  void* v2 = nullptr;
  uint32_t p1 = 0;
  uint32_t p2 = 0;
  ASSERT_EQ(host_dma_alloc(&a, 1, 0, &v1, &p1, nullptr), 0);
  ASSERT_EQ(host_dma_alloc(&a, 1, 0, &v2, &p2, nullptr), 0);
  EXPECT_EQ(v1, block.data());
  EXPECT_EQ(p1, 0x00200000u);
  EXPECT_EQ(static_cast<uint8_t*>(v2) - static_cast<uint8_t*>(v1), 32);
  EXPECT_EQ(p2 - p1, 32u);
  EXPECT_EQ(a.dmaused, 64u);
}

TEST_F(EngineHooks, CarvesExactlyToTheEndAndNotAByteBeyond) {
  void* v = nullptr;
  uint32_t p = 0;
  a.dmaused = 0x10000 - 64;
  ASSERT_EQ(host_dma_alloc(&a, 65, 0, &v, &p, nullptr), -1);
  EXPECT_EQ(a.dmaused, 0x10000u - 64);
  ASSERT_EQ(host_dma_alloc(&a, 64, 0, &v, &p, nullptr), 0);
  EXPECT_EQ(v, block.data() + 0x10000 - 64);
  EXPECT_EQ(a.dmaused, 0x10000u);
  EXPECT_EQ(host_dma_alloc(&a, 1, 0, &v, &p, nullptr), -1);
  // A size that would wrap the position around is refused too.
  a.dmaused = 32;
  EXPECT_EQ(host_dma_alloc(&a, 0xFFFFFFF0u, 0, &v, &p, nullptr), -1);
  EXPECT_EQ(a.dmaused, 32u);
}

TEST_F(EngineHooks, FrameBuffersTake1536BytesOfTheBlock) {
  TxDesc td;
  RxDesc rd;
  ASSERT_EQ(host_txbuf_alloc(&a, &td), 0);
  ASSERT_EQ(host_rxbuf_alloc(&a, &rd), 0);
  EXPECT_EQ(td.buf, block.data());
  EXPECT_EQ(rd.buf, block.data() + 1536);
  EXPECT_EQ(rd.bufphys, 0x00200000u + 1536);
  a.dmaused = 0x10000 - 1517;
  EXPECT_EQ(host_rxbuf_alloc(&a, &rd), -1);
  EXPECT_EQ(rd.buf, block.data() + 1536);
}

TEST_F(EngineHooks, IndicatedRecordsJoinTheEndOfTheReadyList) {
  RxDesc r[5];
  for (int i = 0; i < 4; ++i) r[i].next = &r[i + 1];
  // One record on an empty list: cut off from whatever followed it.
  host_rx_indicate(&a, &r[0], 1);
  EXPECT_EQ(a.rxready, &r[0]);
  EXPECT_EQ(r[0].next, nullptr);
  r[1].next = &r[2];
  r[2].next = &r[3];
  r[3].next = &r[4];
  host_rx_indicate(&a, &r[1], 2);
  EXPECT_EQ(r[0].next, &r[1]);
  EXPECT_EQ(r[1].next, &r[2]);
  EXPECT_EQ(r[2].next, nullptr);
}

TEST_F(EngineHooks, TimeIsTheSystemsMonotonicClock) {
  class Ticking : public FakeConfigSystem {
   public:
    uint64_t MonotonicMicroseconds() override { return 123456789; }
  } ticking;
  a.host = &ticking;
  EXPECT_EQ(host_microseconds(&a), 123456789u);
}

}  // namespace
