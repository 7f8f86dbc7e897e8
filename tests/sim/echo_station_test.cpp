#include "sim/echo_station.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#include "sim/ethernet_test_station.h"

namespace {

const uint8_t kServer[6] = {0x02, 0, 0, 0, 0, 0xEE};
const uint8_t kClient[6] = {0x02, 0, 0, 0, 0, 0x01};
const uint8_t kOther[6] = {0x02, 0, 0, 0, 0, 0x77};
const uint8_t kBroadcast[6] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
const sim::EchoStation::Mac kServerMac = {0x02, 0, 0, 0, 0, 0xEE};

struct EchoBench {
  sim::EthernetSegment segment{"lan"};
  RecordingStation client;
  sim::EchoStation server;

  explicit EchoBench(const sim::EchoFaults& faults = {}) : server(segment, kServerMac, faults) {
    segment.attach(&client);
  }
  void send(const std::vector<uint8_t>& frame) {
    segment.transmit(&client, frame.data(), frame.size());
  }
};

TEST(EchoStation, AnswersFramesToItsAddressWithTheAddressesExchanged) {
  EchoBench bench;
  // The echo client's probe: 1500 bytes of 0xA5 after the type 0xBEEF.
  std::vector<uint8_t> probe(1514, 0xA5);
  std::copy(kServer, kServer + 6, probe.begin());
  std::copy(kClient, kClient + 6, probe.begin() + 6);
  probe[12] = 0xBE;
  probe[13] = 0xEF;
  bench.send(probe);
  EXPECT_TRUE(bench.client.frames.empty());  // answered from the next poll
  EXPECT_EQ(bench.server.pending(), 1u);
  bench.segment.poll(0);
  ASSERT_EQ(bench.client.frames.size(), 1u);

  std::vector<uint8_t> expected = probe;
  std::copy(kClient, kClient + 6, expected.begin());
  std::copy(kServer, kServer + 6, expected.begin() + 6);
  EXPECT_EQ(bench.client.frames[0], expected);

  // Short frames keep their length too.
  const auto small = TestFrame(kServer, kClient, 60, 9);
  bench.send(small);
  bench.segment.poll(0);
  ASSERT_EQ(bench.client.frames.size(), 2u);
  EXPECT_EQ(bench.client.frames[1].size(), 60u);
  EXPECT_TRUE(std::equal(small.begin() + 12, small.end(), bench.client.frames[1].begin() + 12));
  EXPECT_EQ(bench.server.stats().echoed, 2u);
}

TEST(EchoStation, IgnoresFramesNotAddressedToIt) {
  EchoBench bench;
  bench.send(TestFrame(kBroadcast, kClient, 60));
  bench.send(TestFrame(kOther, kClient, 60));
  bench.send(std::vector<uint8_t>(kServer, kServer + 6));  // a runt that starts with its address
  bench.segment.poll(0);
  EXPECT_TRUE(bench.client.frames.empty());
  EXPECT_EQ(bench.server.stats().framesForUs, 0u);
}

TEST(EchoStation, FaultKnobs) {
  struct Case {
    const char* name;
    sim::EchoFaults faults;
    std::vector<int> answered;   // frame numbers (1-based) that come back
    std::vector<int> corrupted;  // of those, the ones with the last byte inverted
  };
  const Case cases[] = {
      {"none", {}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, {}},
      {"off", {.enabled = false}, {}, {}},
      {"drop every 3rd", {.dropEvery = 3}, {1, 2, 4, 5, 7, 8, 10}, {}},
      {"corrupt every 4th", {.corruptEvery = 4}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, {4, 8}},
      {"silent after 5", {.answerLimit = 5}, {1, 2, 3, 4, 5}, {}},
      {"drop and corrupt", {.dropEvery = 2, .corruptEvery = 3}, {1, 3, 5, 7, 9}, {3, 9}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EchoBench bench(c.faults);
    for (int n = 1; n <= 10; ++n) {
      bench.send(TestFrame(kServer, kClient, 100, static_cast<uint8_t>(n)));
      bench.segment.poll(0);
    }
    std::vector<int> answered, corrupted;
    for (const auto& echo : bench.client.frames) {
      // Frame n carries seed n: byte 14 is n + 14.
      const int n = echo[14] - 14;
      answered.push_back(n);
      const auto original = TestFrame(kServer, kClient, 100, static_cast<uint8_t>(n));
      ASSERT_EQ(echo.size(), original.size());
      ASSERT_TRUE(std::equal(original.begin() + 12, original.end() - 1, echo.begin() + 12));
      if (echo.back() == static_cast<uint8_t>(original.back() ^ 0xFF)) {
        corrupted.push_back(n);
      } else {
        EXPECT_EQ(echo.back(), original.back());
      }
    }
    EXPECT_EQ(answered, c.answered);
    EXPECT_EQ(corrupted, c.corrupted);
    EXPECT_EQ(bench.server.stats().framesForUs, 10u);
  }
}

TEST(EchoStation, RefusesAMulticastAddress) {
  sim::EthernetSegment segment("lan");
  EXPECT_THROW(sim::EchoStation(segment, {0x01, 0, 0x5E, 0, 0, 1}), std::invalid_argument);
  EXPECT_EQ(segment.attachmentCount(), 0u);
}

TEST(EchoStation, DetachesWhenDestroyed) {
  sim::EthernetSegment segment("lan");
  RecordingStation client;
  segment.attach(&client);
  {
    sim::EchoStation server(segment, kServerMac);
    EXPECT_EQ(segment.attachmentCount(), 2u);
    const auto frame = TestFrame(kServer, kClient, 60);
    segment.transmit(&client, frame.data(), frame.size());
  }  // its pending answer goes with it
  EXPECT_EQ(segment.attachmentCount(), 1u);
  segment.poll(0);
  EXPECT_TRUE(client.frames.empty());
}

TEST(EchoStation, ParsesAndFormatsAddresses) {
  EXPECT_EQ(sim::EchoStation::parseMac("02:00:00:00:00:ee"), kServerMac);
  EXPECT_EQ(sim::EchoStation::parseMac("02-00-00-00-00-EE"), kServerMac);
  EXPECT_EQ(sim::EchoStation::formatMac(kServerMac), "02:00:00:00:00:ee");
  for (const char* bad : {"", "02:00:00:00:00", "02:00:00:00:00:ee:", "02:00-00:00:00:ee",
                          "02:00:00:00:00:eg", "0200:00:00:00:ee:", "02.00.00.00.00.ee"}) {
    EXPECT_FALSE(sim::EchoStation::parseMac(bad).has_value()) << bad;
  }
}

}  // namespace
