// Wall time of "BD Level" on the built-in simulated bench: one good board, and
// every board of the bench (sleeps are skipped on the simulated clock).
#include <benchmark/benchmark.h>

#include <memory>

#include "app/board_commands.h"
#include "app/main_dialog.h"
#include "app/results_log.h"
#include "pci/card_detection.h"
#include "platform/sim/sim_system.h"
#include "sim/bench.h"

namespace {

void RunBdLevel(benchmark::State& state, bool oneBoard) {
  cardDetection = kDetectAutomatic;
  for (auto _ : state) {
    SimSystem system(sim::BuiltinBench());
    if (system.Open() != nullptr) {
      state.SkipWithError("the built-in bench does not open");
      return;
    }
    ResultsLog log("/nonexistent/results.txt");
    MainDialog dialog(system, log);
    dialog.Initialise();
    if (oneBoard) dialog.Click({0});
    board_commands::BdLevel(dialog);
    benchmark::DoNotOptimize(log.Lines().size());
  }
}

void BM_BdLevelOneBoard(benchmark::State& state) { RunBdLevel(state, true); }
void BM_BdLevelWholeBench(benchmark::State& state) { RunBdLevel(state, false); }

BENCHMARK(BM_BdLevelOneBoard)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BdLevelWholeBench)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
