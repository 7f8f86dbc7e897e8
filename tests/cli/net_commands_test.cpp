#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "support/run_orvdiag.h"

namespace {

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Writes a one-board bench with an echo station; answers its path.
std::string StationBench(const std::string& name, const std::string& segmentKeys) {
  const std::string path = (std::filesystem::temp_directory_path() / (name + "-" + std::to_string(getpid()) + ".toml")).string();
  std::ofstream(path) << "[[segment]]\nname = \"lan\"\necho_station = \"02:00:00:00:00:ee\"\n"
                      << segmentKeys << "\n[[board]]\ndevice = 3\nmodel = \"R83\"\nsegment = \"lan\"\n";
  return path;
}

TEST(EchoTestCommand, ExitStatusFollowsTheResult) {
  const OrvdiagRun pass = RunOrvdiag("echo-test --server 02:00:00:00:00:ee --board 0:3");
  EXPECT_EQ(pass.status, 0) << pass.err;
  EXPECT_TRUE(Has(pass.out, "Board 00:03 R83\nTesting port 0\nEcho Server Contacted\n")) << pass.out;
  EXPECT_TRUE(Has(pass.out, "Status: Packets sent 8000, packets received 8000\n"));
  EXPECT_TRUE(Has(pass.out, "Progress: Port 0 8000\n"));
  EXPECT_TRUE(Has(pass.out, "Shutting down adapter. . .\nResult: Echo test completed successfully\n"));

  const std::string bench = StationBench("echo-bad", "echo_corrupt_every = 889\n");
  const OrvdiagRun bad = RunOrvdiag("--bench '" + bench + "' echo-test --server 02:00:00:00:00:ee");
  EXPECT_EQ(bad.status, 1);
  EXPECT_TRUE(Has(bad.out, "Result: Echo tests failed - too many errors\nEcho Test Failed\n")) << bad.out;
  std::filesystem::remove(bench);

  const OrvdiagRun few = RunOrvdiag("echo-test --server 02:00:00:00:00:ee --packets 7999 --board 0:3");
  EXPECT_EQ(few.status, 1);
  EXPECT_TRUE(Has(few.out, "Packet Count too low:  must be 8000 or above\nAborted - Bad packet count\n")) << few.out;

  const OrvdiagRun usage = RunOrvdiag("echo-test --server 02:00:00 --board 0:3");
  EXPECT_EQ(usage.status, 2);
  EXPECT_TRUE(Has(usage.err, "--server takes an Ethernet address")) << usage.err;
}

TEST(EchoTestCommand, JsonReportCarriesEveryBoard) {
  const OrvdiagRun run = RunOrvdiag("--json echo-test --server 02:00:00:00:00:ee");
  ASSERT_EQ(run.status, 0) << run.err;
  const auto report = nlohmann::json::parse(run.out);
  EXPECT_TRUE(report["passed"].get<bool>());
  ASSERT_EQ(report["boards"].size(), 3u);
  EXPECT_EQ(report["boards"][2]["reports"].back()["result"], "Echo test completed successfully");
}

TEST(EchoServerCommand, PrintsAddressAndCountersAndStopsAfterItsSeconds) {
  const OrvdiagRun run = RunOrvdiag("echo-server --board 0:4 --seconds 1.5");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(Has(run.out, "Board 00:04 R51\nEcho Server Address: 02:13:d8:00:04:00\n")) << run.out;
  EXPECT_TRUE(Has(run.out, "Packets Echoed: 0  Bytes Echoed: 0  Throughput: 0 Mbits/sec\n")) << run.out;
  EXPECT_TRUE(Has(run.out, "Echo server stopped: 0 packets, 0 bytes echoed\n")) << run.out;
}

TEST(SelftestCommand, PrintsEachBoardsCodeAndMeaning) {
  const OrvdiagRun pass = RunOrvdiag("selftest --board 0:4");
  EXPECT_EQ(pass.status, 0) << pass.err;
  EXPECT_EQ(pass.out, "Board 00:04 R51\nSelf-test code 0: all checks passed\n");

  // The self-test expects an LXT970; the R83 TX board carries an LXT971.
  const OrvdiagRun lxt971 = RunOrvdiag("selftest --board 0:3");
  EXPECT_EQ(lxt971.status, 1);
  EXPECT_TRUE(Has(lxt971.out, "Self-test code 711: MII register 16 did not read back 0xAAAA\n")) << lxt971.out;
}

TEST(BdLevelEchoCommand, LogsEachBoardsEchoTestInItsBlock) {
  const OrvdiagRun pass = RunOrvdiag("bd-level-echo --server 02:00:00:00:00:ee --board 0:3");
  EXPECT_EQ(pass.status, 0) << pass.err;
  EXPECT_TRUE(Has(pass.out, "Passed PHY Loopback\nTesting Echo Test ...\nPassed Echo Test\n\n")) << pass.out;

  const OrvdiagRun fail = RunOrvdiag("--json bd-level-echo --server 02:00:00:00:00:ef --board 0:3");
  EXPECT_EQ(fail.status, 1);
  const auto report = nlohmann::json::parse(fail.out);
  const auto& log = report["log"];
  auto it = std::find(log.begin(), log.end(), "FAILED Echo Test: No Echo Server on port 0");
  ASSERT_NE(it, log.end()) << fail.out;
  EXPECT_EQ(*(it + 1), "");

  // Without a server address the command exchanges no traffic, as before.
  const OrvdiagRun plain = RunOrvdiag("bd-level-echo --board 0:3");
  EXPECT_EQ(plain.status, 0);
  EXPECT_FALSE(Has(plain.out, "Echo Test"));
}

}  // namespace
