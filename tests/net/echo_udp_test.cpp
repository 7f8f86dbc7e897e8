// The echo test across two processes: the client here on bench A, the built
// orvdiag serving on bench B, the two segments joined over UDP on loopback.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "cards/dec21143_card.h"
#include "net/echo_client.h"
#include "net/echo_test_support.h"
#include "pci/card_detection.h"
#include "support/echo_ports_lock.h"
#include "sim/bench.h"

extern char** environ;

namespace {

const std::string kBenchDir = std::string(ORV_SOURCE_DIR) + "/bench/";

bool UdpPortFree(uint16_t port) {
  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  if (fd < 0) return false;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool free = bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return free;
}

// orvdiag echo-server on bench B, its standard output on a pipe.
class ServerProcess {
 public:
  explicit ServerProcess(int seconds) {
    int fds[2];
    if (pipe(fds) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    const std::string bench = kBenchDir + "echo-b.toml";
    const std::string limit = std::to_string(seconds);
    const char* argv[] = {ORVDIAG_PATH, "--bench", bench.c_str(), "echo-server", "--seconds", limit.c_str(), nullptr};
    if (posix_spawn(&pid_, ORVDIAG_PATH, &actions, nullptr, const_cast<char**>(argv), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    out_ = fds[0];
  }
  ~ServerProcess() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) close(out_);
  }

  bool Started() const { return pid_ > 0; }

  // Reads output until `text` shows or the time is up.
  bool WaitFor(const std::string& text, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (output_.find(text) == std::string::npos) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
      if (left.count() <= 0) return false;
      pollfd p{out_, POLLIN, 0};
      if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
      char buffer[512];
      const ssize_t n = read(out_, buffer, sizeof buffer);
      if (n <= 0) return output_.find(text) != std::string::npos;
      output_.append(buffer, static_cast<size_t>(n));
    }
    return true;
  }

  // Ctrl-C, then the exit status.
  int Interrupt() {
    kill(pid_, SIGINT);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    WaitFor("\x01", std::chrono::milliseconds(2000));  // drain what is left
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  const std::string& Output() const { return output_; }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  std::string output_;
};

TEST(EchoOverUdp, EightThousandFramesPassAgainstOrvdiagEchoServer) {
  EchoPortsLock ports;
  if (!UdpPortFree(47001) || !UdpPortFree(47002))
    GTEST_SKIP() << "UDP port 47001 or 47002 on 127.0.0.1 is taken; the echo benches need both";

  ServerProcess server(120);
  ASSERT_TRUE(server.Started());
  ASSERT_TRUE(server.WaitFor("Echo Server Address: 02:00:00:00:00:0b\n", std::chrono::seconds(60)))
      << server.Output();

  const int saved = cardDetection;
  cardDetection = kDetectAutomatic;
  {
    SimSystem system(sim::LoadBenchFile(kBenchDir + "echo-a.toml"));
    ASSERT_EQ(system.Open(), nullptr);
    system.SelectDevice(0, 3);
    auto* card = dynamic_cast<DEC21143_Card*>(system.card);
    ASSERT_NE(card, nullptr);
    RecordingReporter reporter;
    EchoClient client(&reporter, &reporter);
    client.serverAddress = EthernetAddress(0x02000000000Bull);
    ASSERT_TRUE(client.Attach(card));
    ASSERT_TRUE(client.SetPacketCount(8000));
    int failed = 0;
    while (failed == 0 && !client.IsDone()) failed = client.Step();
    EXPECT_EQ(failed, 0);
    EXPECT_EQ(client.received, 8000);
    EXPECT_EQ(client.bad, 0);
    EXPECT_EQ(client.missing, 0);
    EXPECT_EQ(reporter.Texts("result"), std::vector<std::string>{"Echo test completed successfully"});
  }
  cardDetection = saved;

  EXPECT_EQ(server.Interrupt(), 0);
  EXPECT_NE(server.Output().find("Echo server stopped: 8001 packets, 12113514 bytes echoed"), std::string::npos)
      << server.Output();
}

}  // namespace
