// The setup frame and what the simulated chip's address filter then accepts.
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "hw/engine_bench.h"
#include "hw/srom_crc.h"

namespace {

using Mac = std::array<uint8_t, 6>;

const Mac kBroadcast = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
const Mac kOther = {0x00, 0x40, 0x05, 0x99, 0x99, 0x99};

Mac Multicast(int i) { return {0x01, 0x00, 0x5E, 0x00, 0x01, static_cast<uint8_t>(i)}; }

class R83drvFilter : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(b.Open(kLoopbackOpMode), 0); }

  // Whether a frame to dest comes back through the loopback.
  bool Passes(const Mac& dest) {
    std::vector<uint8_t> in;
    while (b.Receive(&in)) {
    }
    const std::vector<uint8_t> out = b.Frame(dest.data(), 80);
    if (!b.Send(out)) return false;
    const bool got = b.Receive(&in);
    return got && in == out;
  }
  Mac Station() {
    Mac m;
    std::memcpy(m.data(), b.a()->stationaddr, 6);
    return m;
  }
  void SetList(int count) {
    std::vector<uint8_t> list(static_cast<size_t>(count) * 6 + 6);
    for (int i = 0; i < count; ++i) {
      const Mac m = Multicast(i);
      std::memcpy(list.data() + 6 * i, m.data(), 6);
    }
    b.a()->set_multicast(b.a(), 0, static_cast<uint32_t>(count), list.data());
  }
  // Longword i of the setup buffer, low 16 bits.
  uint16_t Longword(int i) {
    const uint8_t* p = b.a()->desvirt + b.a()->dessize - 192 + 4 * i;
    return static_cast<uint16_t>(p[0] | p[1] << 8);
  }
  Mac Entry(int e) {
    Mac m;
    for (int i = 0; i < 3; ++i) {
      m[2 * i] = static_cast<uint8_t>(Longword(3 * e + i));
      m[2 * i + 1] = static_cast<uint8_t>(Longword(3 * e + i) >> 8);
    }
    return m;
  }

  EngineBench b{Board(sim::BoardPhy::Lxt971)};
};

TEST_F(R83drvFilter, StationOnlyFillsEveryPerfectEntryWithTheStation) {
  b.a()->set_filter(b.a(), 0, R83_FILTER_STATION);
  for (int e = 0; e < 16; ++e) EXPECT_EQ(Entry(e), Station()) << e;
  EXPECT_EQ(b.csr(6) & 0xC5, 0x00u);  // perfect filtering, neither promiscuous nor all-multicast
  EXPECT_TRUE(Passes(Station()));
  EXPECT_FALSE(Passes(kBroadcast));
  EXPECT_FALSE(Passes(kOther));
  EXPECT_EQ(b.a()->get_filter(b.a(), 0), R83_FILTER_STATION);
}

TEST_F(R83drvFilter, BroadcastTakesEntryOne) {
  b.a()->set_filter(b.a(), 0, R83_FILTER_STATION | R83_FILTER_BROADCAST);
  EXPECT_EQ(Entry(0), Station());
  EXPECT_EQ(Entry(1), kBroadcast);
  for (int e = 2; e < 16; ++e) EXPECT_EQ(Entry(e), Station()) << e;
  EXPECT_TRUE(Passes(Station()));
  EXPECT_TRUE(Passes(kBroadcast));
  EXPECT_FALSE(Passes(kOther));
}

TEST_F(R83drvFilter, FourteenMulticastAddressesArePerfectFiltered) {
  SetList(14);
  b.a()->set_filter(b.a(), 0, R83_FILTER_STATION | R83_FILTER_MULTICAST);
  EXPECT_EQ(b.csr(6) & 0x05, 0x00u);  // perfect filtering
  for (int i = 0; i < 14; ++i) EXPECT_EQ(Entry(2 + i), Multicast(i)) << i;
  for (int i = 0; i < 14; ++i) EXPECT_TRUE(Passes(Multicast(i))) << i;
  EXPECT_FALSE(Passes(Multicast(14)));
  EXPECT_TRUE(Passes(Station()));
  EXPECT_FALSE(Passes(kBroadcast));
}

TEST_F(R83drvFilter, FifteenMulticastAddressesSwitchToTheHashTable) {
  SetList(15);
  b.a()->set_filter(b.a(), 0, R83_FILTER_STATION | R83_FILTER_MULTICAST);
  EXPECT_EQ(b.csr(6) & 0x05, 0x01u);  // hash filtering with one perfect address
  for (int i = 0; i < 15; ++i) {
    const Mac m = Multicast(i);
    const uint32_t bit = crc32_register(m.data(), 6) & 0x1FF;
    EXPECT_TRUE((Longword(static_cast<int>(bit / 16)) >> (bit % 16)) & 1) << i;
    EXPECT_TRUE(Passes(m)) << i;
  }
  // The station still passes as the hash table's perfect address.
  EXPECT_TRUE(Passes(Station()));
  EXPECT_FALSE(Passes(kOther));
  EXPECT_FALSE(Passes(kBroadcast));
}

TEST_F(R83drvFilter, BroadcastInTheListSetsHashBit255) {
  std::vector<uint8_t> list;
  for (int i = 0; i < 15; ++i) {
    const Mac m = i == 7 ? kBroadcast : Multicast(i);
    list.insert(list.end(), m.begin(), m.end());
  }
  b.a()->set_multicast(b.a(), 0, 15, list.data());
  b.a()->set_filter(b.a(), 0, R83_FILTER_MULTICAST);
  EXPECT_EQ(Longword(15) & 0x8000, 0x8000);
  EXPECT_TRUE(Passes(kBroadcast));
}

TEST_F(R83drvFilter, BroadcastFlagStillPassesInHashForm) {
  SetList(20);
  b.a()->set_filter(b.a(), 0, R83_FILTER_STATION | R83_FILTER_BROADCAST | R83_FILTER_MULTICAST);
  EXPECT_EQ(Longword(15) & 0x8000, 0x8000);
  EXPECT_TRUE(Passes(kBroadcast));
  EXPECT_TRUE(Passes(Multicast(19)));
  EXPECT_TRUE(Passes(Station()));
}

TEST_F(R83drvFilter, MulticastWithAnEmptyListAndNothingElsePassesNothing) {
  SetList(0);
  b.a()->set_filter(b.a(), 0, R83_FILTER_MULTICAST);
  for (int i = 0; i < 48; ++i) EXPECT_EQ(Longword(i), 0) << i;
  EXPECT_EQ(b.csr(6) & 0x05, 0x05u);  // hash only
  EXPECT_FALSE(Passes(Station()));
  EXPECT_FALSE(Passes(kBroadcast));
}

TEST_F(R83drvFilter, PromiscuousAndAllMulticastAreCsr6Bits) {
  b.a()->set_filter(b.a(), 0, R83_FILTER_STATION | R83_FILTER_PROMISC);
  EXPECT_EQ(b.csr(6) & 0xC0, 0x40u);
  EXPECT_TRUE(Passes(kOther));
  b.a()->set_filter(b.a(), 0, R83_FILTER_STATION | R83_FILTER_ALLMULTI);
  EXPECT_EQ(b.csr(6) & 0xC0, 0x80u);
  EXPECT_TRUE(Passes(Multicast(3)));
  EXPECT_FALSE(Passes(kOther));
}

TEST_F(R83drvFilter, SetAddressReloadsTheFilter) {
  const Mac fresh = {0x02, 0x00, 0x00, 0xAA, 0xBB, 0xCC};
  const Mac old = Station();
  b.a()->set_address(b.a(), 0, fresh.data());
  Mac got;
  b.a()->get_address(b.a(), 0, got.data());
  EXPECT_EQ(got, fresh);
  EXPECT_TRUE(Passes(fresh));
  EXPECT_FALSE(Passes(old));
}

TEST_F(R83drvFilter, GetMulticastCopiesOnlyWhenTheListFits) {
  SetList(3);
  uint32_t count = 0;
  uint8_t out[18] = {};
  b.a()->get_multicast(b.a(), 0, 2, &count, out);
  EXPECT_EQ(count, 3u);
  EXPECT_EQ(out[0], 0);
  b.a()->get_multicast(b.a(), 0, 3, &count, out);
  EXPECT_EQ(std::memcmp(out + 12, Multicast(2).data(), 6), 0);
}

TEST_F(R83drvFilter, AFullRingDelaysTheSetupFrameUntilTheNextReclaim) {
  Adapter* a = b.a();
  b.setCsr(6, b.csr(6) & ~0x2000u);
  for (int n = 0; n < 14; ++n) ASSERT_TRUE(b.Send(b.ToSelf(60)));
  ASSERT_EQ(a->txfree, 1u);
  const uint64_t setups = b.board().stats().setupFrames;
  a->set_filter(a, 0, R83_FILTER_STATION | R83_FILTER_BROADCAST);
  EXPECT_TRUE(a->filterpending);
  EXPECT_EQ(a->txfree, 0u);  // the empty descriptor went out alone
  b.setCsr(6, b.csr(6) | 0x2000u);
  a->service(a);
  EXPECT_FALSE(a->filterpending);
  EXPECT_EQ(b.board().stats().setupFrames, setups + 1);
  a->service(a);
  EXPECT_EQ(a->txfree, 15u);
  EXPECT_TRUE(Passes(kBroadcast));
}

TEST(R83drvFilterDeathTest, MoreThan32MulticastAddressesStopTheProgram) {
  EngineBench b(Board(sim::BoardPhy::Lxt971));
  ASSERT_EQ(b.Init(), 0);
  uint8_t list[33 * 6] = {};
  EXPECT_DEATH(b.a()->set_multicast(b.a(), 0, 33, list), "Assertion failed: count <= 32, file r83drv");
  EXPECT_DEATH(b.a()->set_multicast(b.a(), 1, 1, list), "Assertion failed: port == 0, file r83drv");
}

}  // namespace
