// Ring layout, initialisation failures, start and close of the packet engine.
#include <gtest/gtest.h>

#include "hw/engine_bench.h"

namespace {

TEST(R83drvInit, LaysOutDescriptorsAndBuffersInTheDmaBlock) {
  EngineBench b(Board(sim::BoardPhy::Lxt971));
  ASSERT_EQ(b.Init(), 0);
  Adapter* a = b.a();
  uint8_t* dma = b.system().dmaVirtual;
  const uint32_t phys = b.system().dmaPhysical;

  EXPECT_EQ(a->dessize, 704u);
  EXPECT_EQ(a->desvirt, dma);
  EXPECT_EQ(a->desphys, phys);
  // 16 + 16 descriptors, then the setup buffer 512 bytes in.
  EXPECT_EQ(a->dessize - R83_SETUP_SIZE, 512u);
  for (uint32_t i = 0; i < 16; ++i) {
    EXPECT_EQ(reinterpret_cast<volatile uint8_t*>(a->td[i].hw), dma + 16 * i);
    EXPECT_EQ(a->td[i].hwphys, phys + 16 * i);
    EXPECT_EQ(a->td[i].buf, dma + 704 + 1536 * i);
    EXPECT_EQ(a->td[i].bufphys, phys + 704 + 1536 * i);
    EXPECT_EQ(a->td[i].next, &a->td[(i + 1) % 16]);
    EXPECT_EQ(a->td[i].hw->tdes0, 0u);
  }
  for (uint32_t j = 0; j < 16; ++j) {
    const RxDesc& rd = a->rd[j];
    EXPECT_EQ(reinterpret_cast<volatile uint8_t*>(rd.hw), dma + 256 + 16 * j);
    EXPECT_EQ(rd.buf, dma + 704 + 1536 * (16 + j));
    EXPECT_EQ(rd.hw->rdes0, j == 15 ? 0u : 0x80000000u) << j;
    EXPECT_EQ(rd.hw->rdes1, 0x010005EEu);
    EXPECT_EQ(rd.hw->rdes2, rd.bufphys);
    if (j < 15) {
      EXPECT_EQ(rd.hw->rdes3, a->rd[j + 1].hwphys);
      EXPECT_EQ(rd.next, &a->rd[j + 1]);
    }
  }
  EXPECT_EQ(a->dmaused, 49856u);
  EXPECT_EQ(a->txfree, 15u);
  EXPECT_EQ(a->txnext, &a->td[0]);
  EXPECT_EQ(a->txlast, &a->td[0]);
  EXPECT_EQ(a->rxhead, &a->rd[0]);
  EXPECT_EQ(a->rxtail, &a->rd[15]);
  EXPECT_FALSE(a->filterpending);
}

TEST(R83drvInit, FillsTheOperationTableAndLeavesTheEmptySlotsNull) {
  EngineBench b(Board(sim::BoardPhy::Lxt971));
  ASSERT_EQ(b.Init(), 0);
  Adapter* a = b.a();
  EXPECT_EQ(a->start, &r83drv_start);
  EXPECT_EQ(a->selftest, &r83drv_selftest);
  EXPECT_EQ(a->service, &r83drv_service);
  EXPECT_EQ(a->set_multicast, &r83drv_set_multicast);
  EXPECT_EQ(a->close, &r83drv_close);
  EXPECT_EQ(a->unused18, nullptr);
  EXPECT_EQ(a->unused21, nullptr);
  EXPECT_EQ(a->unused22, nullptr);
}

TEST(R83drvInit, PreparesModesPhyAndStationAddress) {
  struct Case {
    const char* name;
    sim::BoardPhy phy;
    uint32_t cacheline;
    uint32_t phykind;
    uint32_t busmode;
    uint32_t opmode;
  };
  const Case cases[] = {
      {"LXT971", sim::BoardPhy::Lxt971, 0, R83_PHY_LXT971, 0x00002000, 0x020C0008},
      {"LXT970", sim::BoardPhy::Lxt970, 0, R83_PHY_LXT970, 0x00002000, 0x020C0008},
      {"LXT970, 64-byte lines", sim::BoardPhy::Lxt970, 64, R83_PHY_LXT970, 0x01A0A000, 0x020C0008},
      {"LXT970, 128-byte lines", sim::BoardPhy::Lxt970, 128, R83_PHY_LXT970, 0x01A0E000, 0x020C0008},
      {"no PHY", sim::BoardPhy::None, 0, R83_PHY_NONE, 0x00002000, 0x02080008},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EngineBench b(Board(c.phy));
    b.a()->cachelinesize = c.cacheline;
    ASSERT_EQ(b.Init(), 0);
    EXPECT_EQ(b.a()->phykind, c.phykind);
    EXPECT_EQ(b.a()->busmode, c.busmode);
    EXPECT_EQ(b.a()->opmode, c.opmode);
    const uint8_t mac[6] = {0x00, 0x40, 0x05, 0x12, 0x34, 0x56};
    EXPECT_EQ(std::memcmp(b.a()->stationaddr, mac, 6), 0);
    // Memory space and bus mastering on, sleep off.
    EXPECT_EQ(b.cfg(0x04) & 0x6, 0x6u);
    EXPECT_EQ(b.cfg(0x40) & 0xC0000000, 0u);
  }
}

TEST(R83drvInit, PhyCapabilitiesComeFromTheAdvertisement) {
  EngineBench tx(Board(sim::BoardPhy::Lxt970));
  ASSERT_EQ(tx.Init(), 0);
  EXPECT_EQ(tx.a()->phycaps, 0x01E1u);
  // A fibre PHY advertises the selector only: 100 Mb/s both ways.
  EngineBench fx(Board(sim::BoardPhy::Lxt970, sim::BoardVariant::Fx));
  ASSERT_EQ(fx.Init(), 0);
  EXPECT_EQ(fx.a()->phycaps, 0x0181u);
  EngineBench none(Board(sim::BoardPhy::None));
  ASSERT_EQ(none.Init(), 0);
  EXPECT_EQ(none.a()->phycaps, 0x20u);
}

TEST(R83drvInit, ABoardWithoutPhyAndSubsystemFiveIsKindOne) {
  sim::AdapterBoardConfig c = Board(sim::BoardPhy::None);
  sim::SerialEeprom::Words words{};
  words[0] = 0x13D8;
  words[1] = 0x0005;
  words[42] = 0x0040;
  c.eeprom = words;
  EngineBench b(c);
  ASSERT_EQ(b.Init(), 0);
  EXPECT_EQ(b.a()->phykind, R83_PHY_NONE_SUB5);
}

TEST(R83drvInit, FailsCleanlyWhenTheDmaBlockCannotHoldTheRings) {
  struct Case {
    const char* name;
    uint32_t carvedBefore;
    uint32_t rx;
    uint32_t tx;
  };
  const Case cases[] = {
      {"descriptor area", 0xFF00, 16, 16},
      {"buffers", 0x10000 - 49856 + 32, 16, 16},
      {"rings too big", 0, 32, 32},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EngineBench b(Board(sim::BoardPhy::Lxt971));
    Adapter* a = b.a();
    a->dmaused = c.carvedBefore;
    const uint32_t config[2] = {0, 0};
    EXPECT_EQ(r83drv_init(a, c.rx, c.tx, config), -1);
    EXPECT_EQ(a->td, nullptr);
    EXPECT_EQ(a->rd, nullptr);
    EXPECT_EQ(a->desvirt, nullptr);
    EXPECT_NE(a->lasterror, nullptr);
  }
}

TEST(R83drvInit, RefusesRingsTooSmallToWork) {
  EngineBench b(Board(sim::BoardPhy::Lxt971));
  EXPECT_EQ(b.Init(0, 16, 2), -1);
  EXPECT_EQ(b.Init(0, 1, 16), -1);
  EXPECT_EQ(b.Init(0, 2, 3), 0);
}

TEST(R83drvInit, ReinitialisingCarvesAfreshAndKeepsTheSameLayout) {
  EngineBench b(Board(sim::BoardPhy::Lxt971));
  ASSERT_EQ(b.Open(), 0);
  b.Close();
  EXPECT_EQ(b.a()->td, nullptr);
  EXPECT_EQ(b.a()->rxready, nullptr);
  ASSERT_EQ(b.Init(), 0);
  EXPECT_EQ(b.a()->desvirt, b.system().dmaVirtual);
  EXPECT_EQ(b.a()->dmaused, 49856u);
}

TEST(R83drvStart, ProgramsTheChipAndStartsBothProcesses) {
  EngineBench b(Board(sim::BoardPhy::Lxt971));
  ASSERT_EQ(b.Init(), 0);
  ASSERT_EQ(b.a()->start(b.a()), 0);
  EXPECT_EQ(b.a()->lasterror, nullptr);
  const uint32_t csr6 = b.csr(6);
  EXPECT_EQ(csr6 & 0x2002, 0x2002u);
  EXPECT_EQ(b.csr(4), b.a()->td[0].hwphys);
  EXPECT_EQ(b.csr(3), b.a()->rd[0].hwphys);
  // The setup frame went through and the ring is empty again.
  EXPECT_EQ(b.board().stats().setupFrames, 1u);
  EXPECT_EQ(b.a()->txfree, 15u);
  // The LXT971 was set up for the R83 TX's subsystem ID 0x0430.
  EXPECT_EQ(b.board().phy()->readRegister(20), 0x0742);
  EXPECT_EQ(b.board().phy()->readRegister(18), 0x00F2);
}

TEST(R83drvStart, AChipThatNeverTakesItsModesFailsWithinABoundedTime) {
  sim::AdapterBoardConfig c = Board(sim::BoardPhy::Lxt971);
  c.faults.chip.csrWrongValue = {6, 0x00040000};  // port select reads inverted
  EngineBench b(c);
  ASSERT_EQ(b.Init(), 0);
  const uint64_t before = b.now();
  EXPECT_EQ(b.a()->start(b.a()), -1);
  ASSERT_NE(b.a()->lasterror, nullptr);
  EXPECT_STREQ(b.a()->lasterror, "DEC 21143 does not take its bus and operation modes");
  EXPECT_GE(b.now() - before, 1000000u);
  EXPECT_LT(b.now() - before, 1100000u);
  EXPECT_FALSE(b.a()->starting);
}

TEST(R83drvStart, ASetupFrameTheChipNeverFetchesFails) {
  EngineBench b(Board(sim::BoardPhy::Lxt971));
  ASSERT_EQ(b.Init(), 0);
  b.setCfg(0x04, b.cfg(0x04) & ~0x4u);  // no bus mastering: no descriptor is ever read
  const uint64_t before = b.now();
  EXPECT_EQ(b.a()->start(b.a()), -1);
  EXPECT_STREQ(b.a()->lasterror, "DEC 21143 does not complete the setup frame");
  EXPECT_LT(b.now() - before, 1100000u);
}

TEST(R83drvStart, APhyStuckInResetFails) {
  sim::AdapterBoardConfig c = Board(sim::BoardPhy::Lxt971);
  c.faults.phy.wrongRegister = 0;
  c.faults.phy.wrongXor = 0x8000;  // BMCR always shows the reset bit
  EngineBench b(c);
  ASSERT_EQ(b.Init(), 0);
  EXPECT_EQ(b.a()->start(b.a()), -1);
  EXPECT_STREQ(b.a()->lasterror, "LXT971 PHY does not finish its reset");
}

TEST(R83drvStart, ALxt970ThatDropsItsInterruptEnableFails) {
  sim::AdapterBoardConfig c = Board(sim::BoardPhy::Lxt970);
  c.faults.phy.wrongRegister = 17;
  c.faults.phy.wrongXor = 0x0001;
  EngineBench b(c);
  ASSERT_EQ(b.Init(), 0);
  EXPECT_EQ(b.a()->start(b.a()), -1);
  EXPECT_STREQ(b.a()->lasterror, "LXT970 PHY does not take its interrupt enable");
}

TEST(R83drvStart, ASecondStartAbandonsQueuedFramesAndEmptiesTheRing) {
  EngineBench b(Board(sim::BoardPhy::Lxt971));
  ASSERT_EQ(b.Open(kLoopbackOpMode), 0);
  Adapter* a = b.a();
  // Transmission stopped behind the engine's back: the frames stay queued.
  b.setCsr(6, b.csr(6) & ~0x2000u);
  TxDesc* sent[3];
  for (TxDesc*& td : sent) {
    uint32_t count = 1;
    td = a->tx_reserve(a, &count);
    ASSERT_EQ(count, 1u);
    td->len = 60;
    a->tx_send(a, td, 1);
  }
  // The filter's setup records are done but not reclaimed yet.
  EXPECT_EQ(a->txfree, 10u);
  const uint32_t errorsBefore = a->txerrors;

  ASSERT_EQ(a->start(a), 0);
  for (TxDesc* td : sent) EXPECT_EQ(td->status, R83_TX_ABORTED);
  EXPECT_EQ(a->txerrors, errorsBefore + 3);
  EXPECT_EQ(a->txframes, 0u);
  EXPECT_EQ(a->txfree, 15u);
  // Empty again, just past the new setup frame's two records.
  EXPECT_EQ(a->txnext, a->txlast);
  EXPECT_EQ(a->txnext, &a->td[2]);
  // And the engine still moves frames.
  std::vector<uint8_t> in;
  ASSERT_TRUE(b.Send(b.ToSelf(100)));
  EXPECT_TRUE(b.Receive(&in));
}

TEST(R83drvShutdown, ResetsChipAndPhy) {
  EngineBench b(Board(sim::BoardPhy::Lxt970));
  ASSERT_EQ(b.Open(), 0);
  b.board().phy()->writeRegister(0, 0x0100);
  b.a()->shutdown(b.a());
  EXPECT_EQ(b.csr(6) & 0x2002, 0u);
  EXPECT_EQ(b.board().phy()->readRegister(0), 0x3100);  // power-on control
}

}  // namespace
