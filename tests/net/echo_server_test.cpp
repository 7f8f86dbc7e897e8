#include "net/echo_server.h"

#include <gtest/gtest.h>

#include "net/echo_client.h"
#include "net/echo_test_support.h"

namespace {

using Frame = ScriptedEchoCard::Frame;

Frame FrameTo(uint64_t destination, uint64_t source, int length) {
  Frame frame(static_cast<size_t>(length), 0x5A);
  const EthernetAddress d(destination), s(source);
  std::copy(d.GetBytes().begin(), d.GetBytes().end(), frame.begin());
  if (length >= 12) std::copy(s.GetBytes().begin(), s.GetBytes().end(), frame.begin() + 6);
  return frame;
}

constexpr uint64_t kCard = ScriptedEchoCard::kOwn;
constexpr uint64_t kClient = 0x02000000000Bull;

TEST(EchoServerLoop, EchoesOnlyFramesForTheCard) {
  auto system = ManualClockSystem();
  ScriptedEchoCard card(system.get());
  EchoServer server(&card);
  ASSERT_EQ(server.Start(), nullptr);
  EXPECT_TRUE(card.engineOpen);
  EXPECT_EQ(server.addressText, "02:00:00:00:00:0a");

  Frame probe(EchoClient::kFrameLength);
  EchoClient::BuildProbe(probe.data(), EthernetAddress(kCard), EthernetAddress(kClient));
  card.inbox.push_back(FrameTo(0xFFFFFFFFFFFFull, kClient, 60));  // broadcast
  card.inbox.push_back(FrameTo(0x02000000000Cull, kClient, 60));  // another station
  card.inbox.push_back(FrameTo(kCard, kClient, 6));               // too short to answer
  card.inbox.push_back(probe);
  card.inbox.push_back(FrameTo(kCard, kClient, 60));
  for (int i = 0; i < 10; ++i) server.Step();

  ASSERT_EQ(card.sentFrames.size(), 2u);
  Frame expected = probe;
  std::copy(probe.begin() + 6, probe.begin() + 12, expected.begin());
  std::copy(probe.begin(), probe.begin() + 6, expected.begin() + 6);
  EXPECT_EQ(card.sentFrames[0], expected);  // addresses exchanged, 0xA5 payload kept
  EXPECT_EQ(card.sentFrames[1].size(), 60u);
  EXPECT_EQ(server.packetsEchoed, 2);
  EXPECT_EQ(server.bytesEchoed, EchoClient::kFrameLength + 60);

  server.Stop();
  EXPECT_FALSE(card.engineOpen);
  server.Stop();
  EXPECT_EQ(card.closes, 1);
  EXPECT_FALSE(server.Step());
}

TEST(EchoServerLoop, EngineFailureIsAnsweredAndNothingIsClosed) {
  auto system = ManualClockSystem();
  FakeEepromCard card(system.get());  // its engine throws "no engine"
  {
    EchoServer server(&card);
    EXPECT_STREQ(server.Start(), "no engine");
    EXPECT_FALSE(server.IsRunning());
  }
}

TEST(EchoServerLoop, DestructorClosesAnOpenEngine) {
  auto system = ManualClockSystem();
  ScriptedEchoCard card(system.get());
  {
    EchoServer server(&card);
    ASSERT_EQ(server.Start(), nullptr);
  }
  EXPECT_EQ(card.closes, 1);
}

TEST(EchoServerLoop, ThroughputIsWholeMegabitsPerSecond) {
  struct Case {
    int64_t bytes;
    int64_t seconds;
    int64_t mbits;
  };
  const Case cases[] = {
      {12500000, 1, 100}, {12499999, 1, 99}, {12500000, 0, 100},  // an interval shorter than a second counts as one
      {137500000, 11, 100}, {12500000, 11, 9},
      {3000000000LL, 1, 24000},  // past 32 bits without wrapping
      {0, 11, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(EchoServer::Throughput(c.bytes, c.seconds), c.mbits) << c.bytes << " bytes in " << c.seconds << " s";
}

TEST(EchoServerLoop, RefreshesWithinASecondThenEveryElevenSeconds) {
  auto system = ManualClockSystem();
  ScriptedEchoCard card(system.get());
  EchoServer server(&card);
  ASSERT_EQ(server.Start(), nullptr);
  auto& machine = system->machine();

  EXPECT_FALSE(server.Step());  // same second as the start
  // 8257 frames of 1514 bytes: 12 501 098 bytes in the first second.
  for (int i = 0; i < 8257; ++i) {
    card.inbox.push_back(FrameTo(kCard, kClient, 1514));
    EXPECT_FALSE(server.Step());
  }
  machine.skip(1000000);
  EXPECT_TRUE(server.Step());
  EXPECT_EQ(server.throughput, 100);
  EXPECT_EQ(server.bytesEchoed, 8257 * 1514);

  // Eleven seconds later the next one, over the bytes of those eleven seconds.
  for (int i = 0; i < 8257 * 11; ++i) {
    card.inbox.push_back(FrameTo(kCard, kClient, 1514));
    server.Step();
  }
  machine.skip(10000000);
  EXPECT_FALSE(server.Step());
  machine.skip(1000000);
  EXPECT_TRUE(server.Step());
  EXPECT_EQ(server.throughput, 100);
  EXPECT_EQ(server.packetsEchoed, 8257 * 12);
}

TEST(EchoServerLoop, MultiPortCardsAskForThePort) {
  auto system = ManualClockSystem();
  struct TwoPortCard : ScriptedEchoCard {
    using ScriptedEchoCard::ScriptedEchoCard;
    int PortCount() override { return 2; }
  } card(system.get());
  int asked = -1;
  EchoServer server(&card);
  ASSERT_EQ(server.Start([&](int initial) {
    asked = initial;
    return 1;
  }),
            nullptr);
  EXPECT_EQ(asked, 0);
  EXPECT_EQ(server.port, 1);
  EXPECT_EQ(card.port, 1);

  ScriptedEchoCard single(system.get());
  EchoServer other(&single);
  bool askedSingle = false;
  ASSERT_EQ(other.Start([&](int) {
    askedSingle = true;
    return 3;
  }),
            nullptr);
  EXPECT_FALSE(askedSingle);
}

}  // namespace
