#include "sim/udp_link.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "sim/echo_station.h"
#include "sim/ethernet_test_station.h"

namespace {

const uint8_t kA[6] = {0x02, 0, 0, 0, 0, 0x0A};
const uint8_t kB[6] = {0x02, 0, 0, 0, 0, 0x0B};

uint64_t NowMicros() {
  using namespace std::chrono;
  return static_cast<uint64_t>(
      duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
}

// Polls the segments in real time until `done` holds or two seconds pass.
bool PollUntil(std::initializer_list<sim::EthernetSegment*> segments,
               const std::function<bool()>& done) {
  const uint64_t end = NowMicros() + 2000000;
  while (!done()) {
    if (NowMicros() > end) return false;
    for (auto* s : segments) s->poll(NowMicros());
  }
  return true;
}

// A UDP port free a moment ago (the system's pick for port 0).
uint16_t FreePort() {
  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t n = sizeof a;
  getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n);
  close(fd);
  return ntohs(a.sin_port);
}

std::string Loopback(uint16_t port) { return "127.0.0.1:" + std::to_string(port); }

// Two segments in one process joined by two UDP links, each with a station.
struct LinkedPair {
  sim::EthernetSegment left{"left"}, right{"right"};
  RecordingStation leftStation, rightStation;
  std::unique_ptr<sim::UdpLink> leftLink, rightLink;

  LinkedPair() {
    // The ports are chosen before either link binds; retry if another process
    // took one in between.
    for (int attempt = 0; attempt < 10 && !rightLink; ++attempt) {
      try {
        const uint16_t l = FreePort(), r = FreePort();
        if (l == r) continue;
        leftLink.reset();
        leftLink = std::make_unique<sim::UdpLink>(left, Loopback(l), Loopback(r));
        rightLink = std::make_unique<sim::UdpLink>(right, Loopback(r), Loopback(l));
      } catch (const sim::UdpLinkError&) {
      }
    }
    if (!rightLink) throw std::runtime_error("no free pair of UDP ports");
    left.attach(&leftStation);
    right.attach(&rightStation);
  }
};

TEST(UdpLink, JoinsTwoSegmentsBothWays) {
  LinkedPair pair;
  const auto toRight = TestFrame(kB, kA, 1514, 1);
  const auto toLeft = TestFrame(kA, kB, 60, 2);
  pair.left.transmit(&pair.leftStation, toRight.data(), toRight.size());
  pair.right.transmit(&pair.rightStation, toLeft.data(), toLeft.size());

  ASSERT_TRUE(PollUntil({&pair.left, &pair.right}, [&] {
    return !pair.rightStation.frames.empty() && !pair.leftStation.frames.empty();
  }));
  EXPECT_EQ(pair.rightStation.frames[0], toRight);
  EXPECT_EQ(pair.leftStation.frames[0], toLeft);

  // What came in was not sent back out: each side sent exactly its own frame,
  // and nothing more arrives however long we poll.
  PollUntil({&pair.left, &pair.right}, [start = NowMicros()] { return NowMicros() > start + 20000; });
  EXPECT_EQ(pair.leftLink->stats().framesSent, 1u);
  EXPECT_EQ(pair.rightLink->stats().framesSent, 1u);
  EXPECT_EQ(pair.leftStation.frames.size(), 1u);
  EXPECT_EQ(pair.rightStation.frames.size(), 1u);
}

TEST(UdpLink, CarriesAnEchoStationsAnswersBack) {
  LinkedPair pair;
  sim::EchoStation server(pair.right, {0x02, 0, 0, 0, 0, 0x0B});
  for (uint8_t n = 0; n < 8; ++n) {
    const auto frame = TestFrame(kB, kA, 1514, n);
    pair.left.transmit(&pair.leftStation, frame.data(), frame.size());
  }
  ASSERT_TRUE(PollUntil({&pair.left, &pair.right},
                        [&] { return pair.leftStation.frames.size() == 8; }));
  for (uint8_t n = 0; n < 8; ++n) {
    auto expected = TestFrame(kA, kB, 1514, n);
    EXPECT_EQ(pair.leftStation.frames[n], expected) << int(n);
  }
}

TEST(UdpLink, DropsAndCountsRuntsAndOversizedDatagrams) {
  sim::EthernetSegment segment("lan");
  RecordingStation station;
  segment.attach(&station);
  sim::UdpLink link(segment, "127.0.0.1:0", "127.0.0.1:9");  // the discard port: never read

  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  to.sin_port = htons(link.localPort());
  std::vector<uint8_t> data(4000, 0x5A);
  for (size_t size : {0, 13, 14, 1518, 1519, 4000}) {
    ASSERT_EQ(sendto(fd, data.data(), size, 0, reinterpret_cast<sockaddr*>(&to), sizeof to),
              static_cast<ssize_t>(size));
  }
  close(fd);

  ASSERT_TRUE(PollUntil({&segment}, [&] {
    const auto& s = link.stats();
    return s.framesReceived + s.runtsDropped + s.oversizedDropped == 6;
  }));
  EXPECT_EQ(link.stats().runtsDropped, 2u);
  EXPECT_EQ(link.stats().oversizedDropped, 2u);
  ASSERT_EQ(station.frames.size(), 2u);
  EXPECT_EQ(station.frames[0].size(), 14u);
  EXPECT_EQ(station.frames[1].size(), 1518u);

  // Local frames outside the same limits are not sent.
  RecordingStation sender;
  segment.attach(&sender);
  segment.transmit(&sender, data.data(), 13);
  segment.transmit(&sender, data.data(), 1519);
  segment.transmit(&sender, data.data(), 64);
  EXPECT_EQ(link.stats().notSent, 2u);
  EXPECT_EQ(link.stats().framesSent, 1u);
}

TEST(UdpLink, DrainsAtMostOncePerIntervalButStillDrainsWithAFrozenClock) {
  sim::EthernetSegment segment("lan");
  sim::UdpLink link(segment, "127.0.0.1:0", "127.0.0.1:9");
  segment.poll(1000);
  EXPECT_EQ(link.stats().drains, 1u);
  segment.poll(1000 + sim::UdpLink::kDrainMicros - 1);
  EXPECT_EQ(link.stats().drains, 1u);
  segment.poll(1000 + sim::UdpLink::kDrainMicros);
  EXPECT_EQ(link.stats().drains, 2u);
  // Time stands still: a drain every kPollsPerDrain polls.
  const uint64_t frozen = 5000;
  segment.poll(frozen);
  const uint64_t before = link.stats().drains;
  for (unsigned i = 0; i < sim::UdpLink::kPollsPerDrain; ++i) segment.poll(frozen);
  EXPECT_EQ(link.stats().drains, before + 1);
}

TEST(UdpLink, AddressesMustBeLoopback) {
  struct Case {
    const char* text;
    const char* message;  // part of the error
  };
  const Case refused[] = {
      {"10.0.0.1:4000", "host \"10.0.0.1\" is not allowed: UDP links use loopback only"},
      {"0.0.0.0:4000", "host \"0.0.0.0\" is not allowed"},
      {"192.168.1.5:4000", "is not allowed"},
      {"example.com:4000", "host \"example.com\" is not allowed"},
      {"[fe80::1]:4000", "host \"fe80::1\" is not allowed"},
      {"[::]:4000", "host \"::\" is not allowed"},
      {"127.0.0.1", "\"127.0.0.1\" is not HOST:PORT"},
      {"::1:4000", "write an IPv6 host as [::1]:PORT"},
      {"[::1]4000", "is not HOST:PORT"},
      {"127.0.0.1:", "port \"\" of \"127.0.0.1:\" is not a number from 1 to 65535"},
      {"127.0.0.1:65536", "is not a number from 1 to 65535"},
      {"127.0.0.1:40x", "is not a number"},
      {"127.0.0.1:0", "is not a number from 1 to 65535"},
  };
  for (const Case& c : refused) {
    try {
      sim::UdpEndpoint::parse(c.text);
      ADD_FAILURE() << c.text << " was accepted";
    } catch (const sim::UdpLinkError& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos)
          << c.text << ": " << e.what();
    }
  }
  const std::pair<const char*, const char*> accepted[] = {
      {"127.0.0.1:40000", "127.0.0.1:40000"},
      {"127.1.2.3:1", "127.1.2.3:1"},
      {"localhost:47001", "127.0.0.1:47001"},
      {"[::1]:65535", "[::1]:65535"},
  };
  for (const auto& [text, normal] : accepted) {
    EXPECT_EQ(sim::UdpEndpoint::parse(text).text(), normal);
  }
  EXPECT_EQ(sim::UdpEndpoint::parse("127.0.0.1:0", true).port, 0);

  // The link itself refuses the same way and binds nothing.
  sim::EthernetSegment segment("lan");
  EXPECT_THROW(sim::UdpLink(segment, "10.1.1.1:40000", "127.0.0.1:40001"), sim::UdpLinkError);
  EXPECT_THROW(sim::UdpLink(segment, "127.0.0.1:0", "10.1.1.1:40001"), sim::UdpLinkError);
  EXPECT_THROW(sim::UdpLink(segment, "127.0.0.1:0", "[::1]:40001"), sim::UdpLinkError);
  EXPECT_EQ(segment.attachmentCount(), 0u);
}

TEST(UdpLink, APortInUseIsAnErrorNamingThePort) {
  sim::EthernetSegment segment("lan");
  sim::UdpLink first(segment, "127.0.0.1:0", "127.0.0.1:9");
  const std::string port = std::to_string(first.localPort());
  try {
    sim::UdpLink second(segment, "127.0.0.1:" + port, "127.0.0.1:9");
    ADD_FAILURE() << "bound twice";
  } catch (const sim::UdpLinkError& e) {
    EXPECT_EQ(std::string(e.what()),
              "cannot bind UDP port " + port + " on 127.0.0.1:" + port +
                  ": the port is already in use");
  }
  EXPECT_EQ(segment.attachmentCount(), 1u);
}

TEST(UdpLink, WorksOverIpv6Loopback) {
  sim::EthernetSegment left("left"), right("right");
  RecordingStation station;
  right.attach(&station);
  std::unique_ptr<sim::UdpLink> rightLink;
  try {
    rightLink = std::make_unique<sim::UdpLink>(right, "[::1]:0", "[::1]:9");
  } catch (const sim::UdpLinkError& e) {
    GTEST_SKIP() << "no IPv6 loopback here: " << e.what();
  }
  sim::UdpLink leftLink(left, "[::1]:0", "[::1]:" + std::to_string(rightLink->localPort()));
  RecordingStation sender;
  left.attach(&sender);
  const auto frame = TestFrame(kB, kA, 100);
  left.transmit(&sender, frame.data(), frame.size());
  ASSERT_TRUE(PollUntil({&right}, [&] { return !station.frames.empty(); }));
  EXPECT_EQ(station.frames[0], frame);
}

}  // namespace
