// The sensor library on the largest real table of the shared test data (11: 149
// structures, 9 fans and 14 temperature probes) through the emulated /dev/hmpdrv
// and /dev/smbdrv: intializeHM from open to the last instance, and handing out the
// three classes with fresh readings and with readings older than 4 seconds.
//   build/bench/pnpsensors/pnpsensors_bench
#include <benchmark/benchmark.h>

#include <Pegasus/Common/CIMObjectPath.h>

#include <chrono>
#include <cstdio>

#include "base/clock.h"
#include "hmclass.h"
#include "pnpbiossensor.h"
#include "smbiosfixture.h"

namespace {

using namespace mgmt;

constexpr const char* kClasses[] = {"HM_VoltageSensor", "HM_Tachometer", "HM_TemperatureSensor"};

const test::SmbiosDump& Largest() {
  static const test::SmbiosDump kLargest = test::LoadSmbiosDump("11-dell-precision-t7600");
  return kLargest;
}

size_t HandOutAll() {
  size_t count = 0;
  for (const char* cls : kClasses) {
    count += g_allSensors->getInstances(Pegasus::CIMObjectPath(cls))->size();
  }
  return count;
}

void BM_InitializeHM(benchmark::State& state) {
  const test::TempRoot root("pnp-bench");
  test::WriteFirmwareTables(root.Path(), Largest().entryPoint, Largest().table);
  for (auto _ : state) {
    benchmark::DoNotOptimize(intializeHM());
    uninitializeHM();
  }
}
BENCHMARK(BM_InitializeHM)->Unit(benchmark::kMicrosecond);

// `stale`: the clock moves 5 seconds before every pass, so every instance is read
// again from its structure.
void HandOut(benchmark::State& state, bool stale) {
  const test::TempRoot root("pnp-bench");
  test::WriteFirmwareTables(root.Path(), Largest().entryPoint, Largest().table);
  base::ManualClock clock;
  pnp::UseClock(&clock);
  intializeHM();
  size_t instances = 0;
  for (auto _ : state) {
    if (stale) clock.Advance(std::chrono::seconds(5));
    instances = HandOutAll();
    benchmark::DoNotOptimize(instances);
  }
  state.counters["instances"] = static_cast<double>(instances);
  uninitializeHM();
  pnp::UseClock(nullptr);
}

void BM_HandOutFresh(benchmark::State& state) { HandOut(state, false); }
BENCHMARK(BM_HandOutFresh)->Unit(benchmark::kMicrosecond);

void BM_HandOutStale(benchmark::State& state) { HandOut(state, true); }
BENCHMARK(BM_HandOutStale)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  // The real tables are shared data kept outside the project: without them there
  // is nothing to measure.
  if (!test::SmbiosDataAvailable()) {
    std::fprintf(stderr, "pnpsensors_bench: no real SMBIOS tables in %s\n",
                 test::SmbiosDataDir().c_str());
    return 1;
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
