#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "sim/bench.h"
#include "sim/echo_station.h"
#include "sim/ethernet_segment.h"
#include "sim/ethernet_test_station.h"
#include "sim/udp_link.h"
#include "support/echo_ports_lock.h"

namespace {

std::string LoadError(const std::string& text) {
  try {
    sim::LoadBenchText(text, "t.toml");
  } catch (const sim::BenchError& e) {
    return e.what();
  }
  return "(loaded)";
}

TEST(SegmentTable, RefusesBadSegments) {
  struct Case {
    const char* what;
    const char* text;
    const char* error;
  };
  const Case cases[] = {
      {"no name", "[[segment]]\nlink = true\n", "t.toml:1: missing key \"name\""},
      {"empty name", "[[segment]]\nname = \"\"\n", "t.toml:2: \"name\" must not be empty"},
      {"duplicate", "[[segment]]\nname = \"lan\"\n\n[[segment]]\nname = \"lan\"\n",
       "t.toml:5: duplicate segment \"lan\" (first at line 1)"},
      {"unknown key", "[[segment]]\nname = \"lan\"\nudp_port = 4000\n",
       "t.toml:3: unknown key \"udp_port\""},
      {"single table", "[segment]\nname = \"lan\"\n",
       "t.toml:1: \"segment\" must be written as [[segment]] tables"},
      {"link not a boolean", "[[segment]]\nname = \"lan\"\nlink = \"down\"\n",
       "t.toml:3: \"link\" must be true or false, not a string"},
      {"pacing", "[[segment]]\nname = \"lan\"\npacing = 1000\n",
       "t.toml:3: \"pacing\" must be 10 or 100 (Mb/s), not 1000"},
      {"local only", "[[segment]]\nname = \"lan\"\nudp_local = \"127.0.0.1:47001\"\n",
       "t.toml:3: \"udp_local\" needs \"udp_remote\" (where the frames go)"},
      {"remote only", "[[segment]]\nname = \"lan\"\nudp_remote = \"127.0.0.1:47001\"\n",
       "t.toml:3: \"udp_remote\" needs \"udp_local\" (the address to receive on)"},
      {"not loopback",
       "[[segment]]\nname = \"lan\"\nudp_local = \"127.0.0.1:47001\"\nudp_remote = \"10.0.0.2:47002\"\n",
       "t.toml:4: \"udp_remote\": host \"10.0.0.2\" is not allowed: UDP links use loopback only "
       "(127.0.0.0/8, ::1, localhost)"},
      {"any address",
       "[[segment]]\nname = \"lan\"\nudp_local = \"0.0.0.0:47001\"\nudp_remote = \"127.0.0.1:47002\"\n",
       "t.toml:3: \"udp_local\": host \"0.0.0.0\" is not allowed: UDP links use loopback only "
       "(127.0.0.0/8, ::1, localhost)"},
      {"bad port",
       "[[segment]]\nname = \"lan\"\nudp_local = \"127.0.0.1:470011\"\nudp_remote = \"127.0.0.1:1\"\n",
       "t.toml:3: \"udp_local\": port \"470011\" of \"127.0.0.1:470011\" is not a number from 1 to 65535"},
      {"link to itself",
       "[[segment]]\nname = \"lan\"\nudp_local = \"localhost:47001\"\nudp_remote = \"127.0.0.1:47001\"\n",
       "t.toml:4: \"udp_remote\" is \"udp_local\" itself: the segment would hear its own frames"},
      {"udp address not a string",
       "[[segment]]\nname = \"lan\"\nudp_local = 47001\nudp_remote = \"127.0.0.1:1\"\n",
       "t.toml:3: \"udp_local\" must be a string, not an integer"},
      {"bad station address", "[[segment]]\nname = \"lan\"\necho_station = \"02:00:00:00:ee\"\n",
       "t.toml:3: \"echo_station\" must be an Ethernet address such as \"02:00:00:00:00:ee\""},
      {"multicast station", "[[segment]]\nname = \"lan\"\necho_station = \"FF:FF:FF:FF:FF:FF\"\n",
       "t.toml:3: \"echo_station\" = \"ff:ff:ff:ff:ff:ff\" is a multicast address; an echo station "
       "needs its own unicast address"},
      {"knob without station", "[[segment]]\nname = \"lan\"\necho_drop_every = 10\n",
       "t.toml:3: \"echo_drop_every\" needs \"echo_station\""},
      {"silent without station", "[[segment]]\nname = \"lan\"\necho_silent = true\n",
       "t.toml:3: \"echo_silent\" needs \"echo_station\""},
      {"negative knob",
       "[[segment]]\nname = \"lan\"\necho_station = \"02:00:00:00:00:ee\"\necho_answer_limit = -1\n",
       "t.toml:4: \"echo_answer_limit\" = -1 is out of range (0 to 4294967295)"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LoadError(c.text), c.error) << c.what;
  }
}

TEST(SegmentTable, BuildsSegmentsWithTheirStations) {
  auto machine = sim::LoadBenchText(
      "[[segment]]\n"
      "name = \"lan\"\n"
      "echo_station = \"02:00:00:00:00:EE\"\n"
      "echo_drop_every = 100\n"
      "echo_corrupt_every = 50\n"
      "echo_answer_limit = 4000\n"
      "\n"
      "[[segment]]\n"
      "name = \"cut\"\n"
      "link = false\n"
      "pacing = 10\n"
      "echo_station = \"02:00:00:00:00:01\"\n"
      "echo_silent = true\n",
      "t.toml");
  sim::EthernetSegment* lan = machine->segment("lan");
  ASSERT_NE(lan, nullptr);
  EXPECT_TRUE(lan->linkUp());
  EXPECT_EQ(lan->pacing(), 0u);
  EXPECT_EQ(lan->owned<sim::UdpLink>(), nullptr);
  auto* echo = lan->owned<sim::EchoStation>();
  ASSERT_NE(echo, nullptr);
  EXPECT_EQ(sim::EchoStation::formatMac(echo->address()), "02:00:00:00:00:ee");
  EXPECT_TRUE(echo->faults().enabled);
  EXPECT_EQ(echo->faults().dropEvery, 100u);
  EXPECT_EQ(echo->faults().corruptEvery, 50u);
  EXPECT_EQ(echo->faults().answerLimit, 4000u);

  // The station answers on the machine's segment.
  RecordingStation client;
  lan->attach(&client);
  const uint8_t server[6] = {0x02, 0, 0, 0, 0, 0xEE};
  const uint8_t own[6] = {0x02, 0, 0, 0, 0, 0x10};
  const auto frame = TestFrame(server, own, 1514);
  lan->transmit(&client, frame.data(), frame.size());
  lan->poll(machine->clock().monotonicMicros());
  ASSERT_EQ(client.frames.size(), 1u);
  EXPECT_TRUE(std::equal(own, own + 6, client.frames[0].begin()));
  lan->detach(&client);

  sim::EthernetSegment* cut = machine->segment("cut");
  ASSERT_NE(cut, nullptr);
  EXPECT_FALSE(cut->linkUp());
  EXPECT_EQ(cut->pacing(), 10u);
  ASSERT_NE(cut->owned<sim::EchoStation>(), nullptr);
  EXPECT_FALSE(cut->owned<sim::EchoStation>()->faults().enabled);
  EXPECT_EQ(machine->segment("wan"), nullptr);
}

TEST(SegmentTable, APortInUseIsReportedAtTheTable) {
  sim::EthernetSegment other("other");
  sim::UdpLink taken(other, "127.0.0.1:0", "127.0.0.1:9");
  const std::string port = std::to_string(taken.localPort());
  EXPECT_EQ(LoadError("[[segment]]\nname = \"lan\"\nudp_local = \"127.0.0.1:" + port +
                      "\"\nudp_remote = \"127.0.0.1:9\"\n"),
            "t.toml:3: cannot bind UDP port " + port + " on 127.0.0.1:" + port +
                ": the port is already in use");
}

// The two shipped benches are each other's far end.
TEST(SegmentTable, EchoBenchesAreJoinedToEachOther) {
  EchoPortsLock ports;
  std::unique_ptr<sim::Machine> a, b;
  try {
    a = sim::LoadBenchFile(ORV_SOURCE_DIR "/bench/echo-a.toml");
    b = sim::LoadBenchFile(ORV_SOURCE_DIR "/bench/echo-b.toml");
  } catch (const sim::BenchError& e) {
    if (std::string(e.what()).find("already in use") != std::string::npos) {
      GTEST_SKIP() << "the benches' fixed ports are taken here: " << e.what();
    }
    throw;
  }
  sim::EthernetSegment* left = a->segment("lan");
  sim::EthernetSegment* right = b->segment("lan");
  ASSERT_NE(left, nullptr);
  ASSERT_NE(right, nullptr);
  ASSERT_NE(left->owned<sim::UdpLink>(), nullptr);
  ASSERT_NE(right->owned<sim::UdpLink>(), nullptr);
  EXPECT_EQ(left->owned<sim::UdpLink>()->remote().port, right->owned<sim::UdpLink>()->localPort());
  EXPECT_EQ(right->owned<sim::UdpLink>()->remote().port, left->owned<sim::UdpLink>()->localPort());

  // Each has its adapter cabled to the segment beside the link.
  EXPECT_EQ(left->attachmentCount(), 2u);
  EXPECT_EQ(right->attachmentCount(), 2u);

  RecordingStation atA, atB;
  left->attach(&atA);
  right->attach(&atB);
  const uint8_t macA[6] = {0x02, 0, 0, 0, 0, 0x0A};
  const uint8_t macB[6] = {0x02, 0, 0, 0, 0, 0x0B};
  const auto frame = TestFrame(macB, macA, 1514);
  left->transmit(&atA, frame.data(), frame.size());
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  while (atB.frames.empty() && std::chrono::steady_clock::now() < end) {
    right->poll(b->clock().monotonicMicros());
  }
  ASSERT_EQ(atB.frames.size(), 1u);
  EXPECT_EQ(atB.frames[0], frame);
  left->detach(&atA);
  right->detach(&atB);
}

}  // namespace
