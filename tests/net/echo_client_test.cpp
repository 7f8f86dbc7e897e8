#include "net/echo_client.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "cards/adapter_bench.h"
#include "hw/adapter.h"
#include "net/echo_test_support.h"

namespace {

// ---- Frames ----

TEST(EchoClientFrames, DataFrameCarriesSequenceAndPattern) {
  uint8_t frame[EchoClient::kFrameLength];
  EchoClient::BuildDataFrame(frame, EthernetAddress(0x0200000000EEull), EthernetAddress(0x02000000000Aull), 0x0102);
  const uint8_t header[16] = {0x02, 0, 0, 0, 0, 0xEE, 0x02, 0, 0, 0, 0, 0x0A, 0xDE, 0xAD, 0x01, 0x02};
  EXPECT_EQ(0, std::memcmp(frame, header, sizeof header));
  EXPECT_EQ(frame[16], 0x11);
  EXPECT_EQ(frame[17], 0xF2);
  EXPECT_EQ(frame[18], 0x13);
  EXPECT_EQ(frame[19], 0xF0);
  // The last pair: i = 1512.
  EXPECT_EQ(frame[1512], static_cast<uint8_t>(0x01 + 1512));
  EXPECT_EQ(frame[1513], static_cast<uint8_t>(0x02 - 1512));
}

TEST(EchoClientFrames, ProbeIsTypeBeefFilledWithA5) {
  uint8_t frame[EchoClient::kFrameLength];
  EchoClient::BuildProbe(frame, EthernetAddress(0x0200000000EEull), EthernetAddress(0x02000000000Aull));
  EXPECT_EQ(frame[5], 0xEE);
  EXPECT_EQ(frame[11], 0x0A);
  EXPECT_EQ(frame[12], 0xBE);
  EXPECT_EQ(frame[13], 0xEF);
  EXPECT_TRUE(std::all_of(frame + 14, frame + EchoClient::kFrameLength, [](uint8_t b) { return b == 0xA5; }));
}

// ---- Set-up ----

TEST(EchoClientSetup, AttachAndPacketCountRefuseBadInput) {
  RecordingReporter reporter;
  EchoClient client(&reporter, nullptr);
  EXPECT_FALSE(client.Attach(nullptr));
  EXPECT_FALSE(client.SetPacketCount(7999));
  EXPECT_EQ(reporter.Texts("message"),
            (std::vector<std::string>{"Unable to control this card due to a null card pointer",
                                      "Packet Count too low:  must be 8000 or above"}));
  EXPECT_TRUE(client.SetPacketCount(8000));
  EXPECT_EQ(client.tracking.size(), 8000u);

  // A client never attached only says so.
  EXPECT_EQ(client.Step(), 0);
  EXPECT_EQ(reporter.events.back().text, "No card has been initialized for testing. . .");
  EXPECT_FALSE(client.IsDone());
}

TEST(EchoClientSetup, RunEchoTestAnswersItsAbortTexts) {
  auto system = ClockOnlySystem();
  ScriptedEchoCard card(system.get());
  RecordingReporter cardReporter;
  card.SetReporters(nullptr, &cardReporter);
  EXPECT_STREQ(card.RunEchoTest(nullptr, nullptr, 100, EthernetAddress(ScriptedEchoCard::kServer)),
               "Aborted - Bad packet count");
  EXPECT_EQ(cardReporter.Texts("result"), std::vector<std::string>{"Aborted - Bad packet count"});
  EXPECT_EQ(card.opens, 0);
}

// ---- Runs against a card that plays the server ----

struct ScriptedRun {
  std::unique_ptr<SimSystem> system = ClockOnlySystem();
  ScriptedEchoCard card{system.get()};
  RecordingReporter first;
  RecordingReporter second;
  EchoClient client{&first, &second};

  // Runs to the end as RunEchoTest does; answers the last Step's value.
  int Run(int packets = 8000) {
    client.serverAddress = EthernetAddress(ScriptedEchoCard::kServer);
    EXPECT_TRUE(client.Attach(&card));
    EXPECT_TRUE(client.SetPacketCount(packets));
    for (int steps = 0; steps < 10000000; ++steps) {
      const int r = client.Step();
      if (r != 0 || client.IsDone()) return r;
    }
    ADD_FAILURE() << "the client never finished";
    return -1;
  }
};

TEST(EchoClientRun, CleanRunPassesWithEveryReport) {
  ScriptedRun run;
  EXPECT_EQ(run.Run(), 0);
  EXPECT_TRUE(run.client.IsDone());
  EXPECT_EQ(run.card.framesSent, 8001);  // the probe and 8000 data frames
  EXPECT_EQ(run.client.bad, 0);
  EXPECT_EQ(run.client.missing, 0);
  const auto messages = run.first.Texts("message");
  ASSERT_GE(messages.size(), 6u);
  EXPECT_EQ(std::vector<std::string>(messages.begin(), messages.begin() + 4),
            (std::vector<std::string>{"Testing port 0", "Echo Server Contacted", "Echo Server found on port 0",
                                      "Sending Data."}));
  EXPECT_EQ(messages[messages.size() - 2], "");
  EXPECT_EQ(messages.back(), "Shutting down adapter. . .");
  EXPECT_EQ(run.first.Texts("result"), std::vector<std::string>{"Echo test completed successfully"});
  // One burst of eight per window: 1000 windows, then the finishing status.
  const auto statuses = run.first.Texts("status");
  EXPECT_EQ(statuses.size(), 1001u);
  EXPECT_EQ(statuses.front(), "Packets sent 8, packets received 0");
  EXPECT_EQ(statuses.back(), "Packets sent 8000, packets received 8000");
  ASSERT_EQ(run.second.events.size(), 1000u);
  EXPECT_EQ(run.second.events.back().text, "Port 0");
  EXPECT_EQ(run.second.events.back().count, 8000);
  EXPECT_EQ(run.card.opens, 1);
  EXPECT_EQ(run.card.closes, 1);
  // Calling on after the end does not close again.
  run.client.Step();
  EXPECT_EQ(run.card.closes, 1);
}

TEST(EchoClientRun, NeverMoreThanEightFramesInFlight) {
  ScriptedRun run;
  int worst = 0;
  run.card.answer = [&](int, ScriptedEchoCard::Frame&, std::deque<ScriptedEchoCard::Frame>& inbox) {
    worst = std::max(worst, static_cast<int>(inbox.size()) + 1);
    return true;
  };
  EXPECT_EQ(run.Run(), 0);
  EXPECT_EQ(worst, 8);
}

TEST(EchoClientRun, ShortProbeAnswerIsReportedAndTheWaitGoesOn) {
  ScriptedRun run;
  run.card.answer = [](int n, ScriptedEchoCard::Frame& echo, std::deque<ScriptedEchoCard::Frame>& inbox) {
    if (n == 1) {
      ScriptedEchoCard::Frame shortAnswer(echo.begin(), echo.end() - 1);  // 1513 bytes
      inbox.push_back(shortAnswer);
    }
    return true;
  };
  EXPECT_EQ(run.Run(), 0);
  const auto messages = run.first.Texts("message");
  EXPECT_EQ(messages[1], "Bad Packet Recevied \"02:00:00:00:00:0a02:00:00:00:00:ee beef\"");
  EXPECT_EQ(messages[2], "Echo Server Contacted");
  EXPECT_EQ(run.first.Count("message", "Retrying. . ."), 0);
}

// Damaged echoes and frames that are not echoes, each with what it must count.
TEST(EchoClientRun, EachKindOfBadEchoIsCountedOnce) {
  struct Case {
    const char* name;
    std::function<void(ScriptedEchoCard::Frame&, std::deque<ScriptedEchoCard::Frame>&)> damage;
    const char* message;  // null: no report
    int bad;
    int missing;
  };
  const Case cases[] = {
      {"payload", [](auto& echo, auto&) { echo[700] ^= 0x01; }, "Bad packet payload. . .", 1, 1},
      {"length", [](auto& echo, auto&) { echo.pop_back(); }, "Bad Packet Length. . .", 1, 1},
      {"source", [](auto& echo, auto&) { echo[11] ^= 0x01; }, "Bad packet source address . .", 1, 1},
      {"other type first",
       [](auto& echo, auto& inbox) {
         auto other = echo;
         other[12] = 0x08;
         other[13] = 0x00;
         inbox.push_back(other);
       },
       nullptr, 0, 0},
      {"not for us first",
       [](auto& echo, auto& inbox) {
         auto other = echo;
         other[0] = 0xFF;
         inbox.push_back(other);
       },
       nullptr, 0, 0},
      // Claims a sequence number that was never sent: bad, and no entry
      // outside the tracking array is touched.
      {"unsent number",
       [](auto& echo, auto&) {
         echo[14] = 0xFF;
         echo[15] = 0xF0;
         ScriptedEchoCard::Frame rebuilt(EchoClient::kFrameLength);
         EchoClient::BuildDataFrame(rebuilt.data(), EthernetAddress(ScriptedEchoCard::kOwn),
                                    EthernetAddress(ScriptedEchoCard::kServer), 0xFFF0);
         echo = rebuilt;
       },
       "Bad packet payload. . .", 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedRun run;
    run.card.answer = [&](int n, ScriptedEchoCard::Frame& echo, std::deque<ScriptedEchoCard::Frame>& inbox) {
      if (n == 500) c.damage(echo, inbox);
      return true;
    };
    EXPECT_EQ(run.Run(), 0);  // one bad frame in 8000 passes
    EXPECT_EQ(run.client.bad, c.bad);
    EXPECT_EQ(run.client.missing, c.missing);
    EXPECT_EQ(run.client.received, 8000);
    if (c.message) {
      EXPECT_EQ(run.first.Count("message", c.message), 1);
    }
    EXPECT_EQ(run.first.Texts("result"), std::vector<std::string>{"Echo test completed successfully"});
  }
}

// Past 65536 frames the 16-bit numbers repeat; the frames are still told apart.
TEST(EchoClientRun, RunsBeyondSixteenBitSequenceNumbersPass) {
  ScriptedRun run;
  EXPECT_EQ(run.Run(70000), 0);
  EXPECT_EQ(run.client.missing, 0);
  EXPECT_EQ(run.client.bad, 0);
}

// ---- Runs against the simulated echo station ----

struct StationRun {
  explicit StationRun(const std::string& segmentKeys) : bench(EchoStationBench(segmentKeys)) {
    card = bench.Select(0, 3);
    EXPECT_NE(card, nullptr);
  }
  int Run(int packets = 8000) {
    client.serverAddress = EthernetAddress(0x0200000000EEull);
    EXPECT_TRUE(client.Attach(card));
    EXPECT_TRUE(client.SetPacketCount(packets));
    for (;;) {
      const int r = client.Step();
      if (r != 0 || client.IsDone()) return r;
    }
  }
  bool EngineClosed() const { return card->adapter->desvirt == nullptr; }

  AdapterBench bench;
  DEC21143_Card* card = nullptr;
  RecordingReporter first;
  RecordingReporter second;
  EchoClient client{&first, &second};
};

TEST(EchoClientStation, EightThousandFramesPassAndTheEngineIsClosed) {
  StationRun run("");
  EXPECT_EQ(run.Run(), 0);
  EXPECT_EQ(run.client.received, 8000);
  EXPECT_EQ(run.client.bad, 0);
  EXPECT_EQ(run.first.Texts("result"), std::vector<std::string>{"Echo test completed successfully"});
  EXPECT_TRUE(run.EngineClosed());
}

// The station corrupts every Nth frame it answers (the probe is the first):
// 1000 gives 8 bad data echoes, 889 gives 9.
TEST(EchoClientStation, EightBadInEightThousandPassNineFail) {
  struct Case {
    int corruptEvery;
    int bad;
    int step;
    const char* result;
  };
  const Case cases[] = {{1000, 8, 0, "Echo test completed successfully"},
                        {889, 9, 1, "Echo tests failed - too many errors"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.corruptEvery);
    StationRun run("echo_corrupt_every = " + std::to_string(c.corruptEvery) + "\n");
    EXPECT_EQ(run.Run(), c.step);
    EXPECT_TRUE(run.client.IsDone());
    EXPECT_EQ(run.client.bad, c.bad);
    EXPECT_EQ(run.client.missing, c.bad);
    EXPECT_EQ(run.first.Count("message", "Bad packet payload. . ."), c.bad);
    EXPECT_EQ(run.first.Texts("result"), std::vector<std::string>{c.result});
    EXPECT_TRUE(run.EngineClosed());
  }
}

TEST(EchoClientStation, RunEchoTestAnswersNullOrFailed) {
  for (const char* keys : {"", "echo_corrupt_every = 889\n"}) {
    SCOPED_TRACE(keys);
    AdapterBench bench(EchoStationBench(keys));
    DEC21143_Card* card = bench.Select(0, 3);
    RecordingReporter reporter;
    const char* answer = card->RunEchoTest(&reporter, &reporter, 8000, EthernetAddress(0x0200000000EEull));
    if (*keys == '\0') {
      EXPECT_EQ(answer, nullptr);
    } else {
      EXPECT_STREQ(answer, "Echo Test Failed");
    }
  }
}

// The station answers the probe and 99 data frames, then falls silent.
TEST(EchoClientStation, SilentServerMidRunIsALostConnection) {
  StationRun run("echo_answer_limit = 100\n");
  run.first.clock = run.second.clock = &run.bench.system();
  EXPECT_EQ(run.Run(), 1);
  EXPECT_EQ(run.client.received, 99);
  EXPECT_EQ(run.first.Texts("result"), (std::vector<std::string>{"Lost connection on port 0", "Failed Echo Test"}));
  EXPECT_EQ(run.first.events.back().text, "Failed Echo Test");
  EXPECT_EQ(run.first.Count("message", "Shutting down adapter. . ."), 1);
  EXPECT_TRUE(run.EngineClosed());
  // The wait after the last echo lasts 2 to 3 seconds.
  ASSERT_FALSE(run.second.events.empty());
  const uint64_t waited = run.first.When("result", "Lost connection on port 0") - run.second.events.back().micros;
  EXPECT_GE(waited, 2000000u);
  EXPECT_LE(waited, 3100000u);
}

TEST(EchoClientStation, NoServerGivesUpAfterElevenProbes) {
  StationRun run("echo_silent = true\n");
  run.first.clock = &run.bench.system();
  EXPECT_EQ(run.Run(), 1);
  EXPECT_EQ(run.first.Count("message", "Retrying. . ."), 10);
  EXPECT_EQ(run.first.Texts("result"), (std::vector<std::string>{"No Echo Server on port 0", "Failed Echo Test"}));
  EXPECT_EQ(run.card->adapter->txframes, 11u);
  // Eleven waits of 2 to 3 seconds each.
  const uint64_t waited = run.first.When("result", "No Echo Server on port 0") - run.first.When("message", "Testing port 0");
  EXPECT_GE(waited, 22000000u);
  EXPECT_LE(waited, 33100000u);
  EXPECT_TRUE(run.EngineClosed());
}

TEST(EchoClientStation, EngineThatCannotStartIsReported) {
  AdapterBench bench(EchoStationBench(), kDetectUnknown);
  bench.system().SelectDevice(0, 3);
  PCI_Card* card = bench.system().card;
  ASSERT_NE(card, nullptr);
  RecordingReporter reporter;
  EXPECT_STREQ(card->RunEchoTest(&reporter, nullptr, 8000, EthernetAddress(0x0200000000EEull)), "Echo Test Failed");
  EXPECT_EQ(reporter.Texts("message"), std::vector<std::string>{"Failed there is no driver for this card."});
  EXPECT_EQ(reporter.Texts("result"), std::vector<std::string>{"Could not init device"});
}

}  // namespace
