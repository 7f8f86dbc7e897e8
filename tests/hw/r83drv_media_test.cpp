// Connection types, link state and the CSR6 duplex and threshold bits on the PHY kinds.
#include <gtest/gtest.h>

#include "hw/engine_bench.h"

namespace {

constexpr uint32_t kFd = 0x00000200;
constexpr uint32_t kTtm = 0x00400000;

TEST(R83drvMedia, EachTypeProgramsThePhyAndCsr6) {
  struct Case {
    uint32_t type;
    uint16_t control;
    uint32_t csr6;  // FD and TTM
  };
  const Case cases[] = {
      {R83_MEDIA_10T, 0x0000, kTtm},
      {R83_MEDIA_10T_FD, 0x0100, kTtm | kFd},
      {R83_MEDIA_100TX, 0x2000, 0},
      {R83_MEDIA_100TX_FD, 0x2100, kFd},
  };
  for (sim::BoardPhy phy : {sim::BoardPhy::Lxt970, sim::BoardPhy::Lxt971}) {
    EngineBench b(Board(phy));
    ASSERT_EQ(b.Open(), 0);
    Adapter* a = b.a();
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << (phy == sim::BoardPhy::Lxt970 ? "LXT970 " : "LXT971 ") << c.type);
      ASSERT_EQ(a->set_media(a, 0, c.type), 0);
      EXPECT_EQ(b.board().phy()->readRegister(0) & 0x3100, c.control);
      EXPECT_EQ(b.board().phy()->readRegister(4) & 0x01E1, (0x20u << (c.type - 1)) | 1);
      EXPECT_EQ(a->get_media(a, 0), c.type);
      EXPECT_EQ(b.csr(6) & (kFd | kTtm), c.csr6);
      EXPECT_EQ(b.csr(6) & 0x2002, 0x2002u);  // still running
      EXPECT_TRUE(a->get_link(a, 0));
    }
    // Back to auto-negotiation: the partner offers everything, 100 full duplex wins.
    ASSERT_EQ(a->set_media(a, 0, R83_MEDIA_AUTO), 0);
    EXPECT_EQ(b.board().phy()->readRegister(0) & 0x1000, 0x1000);
    EXPECT_EQ(a->get_media(a, 0), R83_MEDIA_100TX_FD);
    EXPECT_EQ(b.csr(6) & (kFd | kTtm), kFd);
  }
}

TEST(R83drvMedia, AFibrePhyTakesOnly100Mbps) {
  EngineBench b(Board(sim::BoardPhy::Lxt970, sim::BoardVariant::Fx));
  ASSERT_EQ(b.Open(), 0);
  Adapter* a = b.a();
  ASSERT_EQ(a->set_media(a, 0, R83_MEDIA_100TX_FD), 0);
  EXPECT_EQ(b.board().phy()->readRegister(0) & 0x3100, 0x2100);
  EXPECT_EQ(a->get_media(a, 0), R83_MEDIA_100TX_FD);
  // 10BASE-T and auto-negotiation are not offered: nothing changes.
  ASSERT_EQ(a->set_media(a, 0, R83_MEDIA_10T), 0);
  ASSERT_EQ(a->set_media(a, 0, R83_MEDIA_AUTO), 0);
  EXPECT_EQ(b.board().phy()->readRegister(0) & 0x3100, 0x2100);
  EXPECT_EQ(a->get_media(a, 0), R83_MEDIA_100TX_FD);
}

TEST(R83drvMedia, TheLinkFollowsTheCable) {
  EngineBench b(Board(sim::BoardPhy::Lxt971), /*cabled=*/false);
  ASSERT_EQ(b.Open(), 0);
  EXPECT_FALSE(b.a()->get_link(b.a(), 0));
  EngineBench c(Board(sim::BoardPhy::Lxt970));
  ASSERT_EQ(c.Open(), 0);
  EXPECT_TRUE(c.a()->get_link(c.a(), 0));
}

TEST(R83drvMedia, ABoardWithoutPhyUsesTheSia) {
  EngineBench b(Board(sim::BoardPhy::None));
  ASSERT_EQ(b.Open(), 0);
  Adapter* a = b.a();
  ASSERT_EQ(a->phykind, R83_PHY_NONE);
  EXPECT_EQ(b.csr(14) & 0xFFFF, 0x7F3Fu);
  EXPECT_EQ(a->get_media(a, 0), R83_MEDIA_10T);
  ASSERT_EQ(a->set_media(a, 0, R83_MEDIA_10T_FD), 0);
  EXPECT_EQ(a->siamedia, R83_MEDIA_10T_FD);
  EXPECT_EQ(b.csr(14) & 0xFFFF, 0x7F3Du);
  EXPECT_EQ(b.csr(6) & kFd, kFd);
  EXPECT_EQ(b.csr(6) & 0x2002, 0x2002u);
  EXPECT_EQ(a->get_media(a, 0), R83_MEDIA_10T_FD);
  ASSERT_EQ(a->set_media(a, 0, R83_MEDIA_10T), 0);
  EXPECT_EQ(b.csr(6) & kFd, 0u);
  EXPECT_EQ(a->get_media(a, 0), R83_MEDIA_10T);
}

TEST(R83drvMedia, ABoardWithoutPhyAndSubsystemFiveIsAlways10BaseT) {
  sim::AdapterBoardConfig c = Board(sim::BoardPhy::None);
  sim::SerialEeprom::Words words{};
  words[1] = 0x0005;
  c.eeprom = words;
  EngineBench b(c);
  ASSERT_EQ(b.Open(), 0);
  ASSERT_EQ(b.a()->phykind, R83_PHY_NONE_SUB5);
  ASSERT_EQ(b.a()->set_media(b.a(), 0, R83_MEDIA_10T_FD), 0);
  EXPECT_EQ(b.a()->get_media(b.a(), 0), R83_MEDIA_10T);
}

TEST(R83drvMedia, AMediaChangeOnAnAdapterNeverStartedLeavesTheProcessesStopped) {
  EngineBench b(Board(sim::BoardPhy::Lxt970));
  ASSERT_EQ(b.Init(), 0);
  ASSERT_EQ(b.a()->set_media(b.a(), 0, R83_MEDIA_10T), 0);
  EXPECT_EQ(b.csr(6) & 0x2002, 0u);
  EXPECT_EQ(b.csr(6) & kTtm, kTtm);
}

TEST(R83drvMedia, ALinkInterruptUpdatesCsr6) {
  EngineBench b(Board(sim::BoardPhy::Lxt970));
  ASSERT_EQ(b.Open(), 0);
  Adapter* a = b.a();
  ASSERT_EQ(b.csr(6) & (kFd | kTtm), kFd);
  // The link drops and comes back with a partner that offers 10 Mb/s half
  // duplex only; the PHY interrupts (start enabled that).
  b.board().phy()->setLink(false);
  b.board().phy()->setPartnerAbility(0x0021);
  b.board().phy()->setLink(true);
  b.machine().skip(10);
  ASSERT_NE(b.csr(5) & 0x04000000u, 0u);
  ASSERT_EQ(a->service(a), 0);
  EXPECT_EQ(b.csr(6) & (kFd | kTtm), kTtm);
  EXPECT_EQ(a->get_media(a, 0), R83_MEDIA_10T);
}

}  // namespace
