// Wall time of the 8000-frame echo test over the UDP-linked echo benches: a
// forked child serves on bench B, the parent runs the echo client on bench A.
//
//   echo_udp_timing [BENCH_DIR] [RUNS]
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "cards/pci_card.h"
#include "net/echo_client.h"
#include "net/echo_server.h"
#include "pci/card_detection.h"
#include "platform/sim/sim_system.h"
#include "sim/bench.h"

namespace {

PCI_Card* OpenCard(SimSystem& system) {
  if (system.Open() != nullptr) return nullptr;
  system.SelectDevice(0, 3);
  return system.card;
}

// The child: serves until killed; writes one byte once the engine is open.
[[noreturn]] void Serve(const std::string& bench, int ready) {
  SimSystem system(sim::LoadBenchFile(bench));
  PCI_Card* card = OpenCard(system);
  EchoServer server(card);
  if (card == nullptr || server.Start() != nullptr) _exit(2);
  const char byte = 1;
  if (write(ready, &byte, 1) != 1) _exit(2);
  for (;;) server.Step();
}

}  // namespace

int main(int argc, char** argv) {
  const std::filesystem::path dir =
      argc > 1 ? std::filesystem::path(argv[1]) : std::filesystem::path(__FILE__).parent_path().parent_path() / "bench";
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  cardDetection = kDetectAutomatic;

  int fds[2];
  if (pipe(fds) != 0) return 1;
  const pid_t child = fork();
  if (child == 0) {
    close(fds[0]);
    Serve((dir / "echo-b.toml").string(), fds[1]);
  }
  close(fds[1]);
  char byte = 0;
  if (read(fds[0], &byte, 1) != 1) {
    std::fprintf(stderr, "the echo server on bench B did not start (UDP ports 47001/47002 taken?)\n");
    waitpid(child, nullptr, 0);
    return 1;
  }

  SimSystem system(sim::LoadBenchFile((dir / "echo-a.toml").string()));
  PCI_Card* card = OpenCard(system);
  if (card == nullptr) return 1;
  std::vector<double> seconds;
  int failures = 0;
  for (int run = 0; run < runs; ++run) {
    const auto start = std::chrono::steady_clock::now();
    const char* answer = card->RunEchoTest(nullptr, nullptr, 8000, EthernetAddress(0x02000000000Bull));
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    failures += answer != nullptr;
    seconds.push_back(took.count());
    std::printf("run %d: %.3f s%s\n", run + 1, took.count(), answer ? " (FAILED)" : "");
  }
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);

  std::sort(seconds.begin(), seconds.end());
  std::printf("8000-frame echo test over UDP: best %.3f s, median %.3f s, worst %.3f s (%d failed)\n", seconds.front(),
              seconds[seconds.size() / 2], seconds.back(), failures);
  return failures == 0 ? 0 : 1;
}
