// Instances per second through the provider host, in-process: the test module's
// bulk provider delivers 10 000 prepared instances; the host copies each one and
// applies the request's filters before handing the array back.
//
//   cimom_host_bench                       (all cases)
//   cimom_host_bench --benchmark_filter=Filtered
#include "ProviderHost.h"
#include "support/temp_dir.h"

#include <Pegasus/Common/CIMParamValue.h>

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <memory>

using namespace Pegasus;
using namespace mgmt::cimom;
namespace fs = std::filesystem;

namespace {

constexpr Uint32 kInstances = 10000;

/// A started host over the shipped classes, the test classes and one
/// registration of the bulk provider, primed with kInstances instances.
class BenchHost {
 public:
  BenchHost() {
    fs::create_directories(dir_ / "classes");
    fs::create_directories(dir_ / "registrations");
    for (const auto& entry : fs::directory_iterator(CIMOM_MOF_DIR)) {
      if (entry.path().extension() == ".mof")
        fs::copy_file(entry.path(), dir_ / "classes" / entry.path().filename());
    }
    fs::copy_file(CIMOM_TEST_MOF, dir_ / "classes" / "Test.mof");
    std::ofstream(dir_ / "registrations" / "bench.reg")
        << "[Provider]\nModule = " << CIMOM_BENCH_MODULE
        << "\nName = TestBulkProvider\nClasses = Test_Bulk\nTypes = instance, method\n";
    HostConfig config;
    config.classDir = dir_ / "classes";
    config.registrationDir = dir_ / "registrations";
    config.builtinNetworkAdapter = false;
    host = std::make_unique<ProviderHost>(config);
    host->Start();
    Array<CIMParamValue> in;
    in.append(CIMParamValue("N", CIMValue(kInstances)));
    host->InvokeMethod(ctx, ns, CIMObjectPath("Test_Bulk"), CIMName("SetCount"), in);
  }
  ~BenchHost() { host.reset(); }

  std::unique_ptr<ProviderHost> host;
  OperationContext ctx = ProviderHost::ContextFor("bench");
  CIMNamespaceName ns{"root/cimv2"};

 private:
  mgmt::test::TempDir dir_{"cimom-bench"};
};

BenchHost& Bench() {
  static BenchHost b;
  return b;
}

void Report(benchmark::State& state, Uint32 delivered) {
  if (delivered != kInstances) state.SkipWithError("wrong number of instances");
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kInstances);
  state.counters["instances"] = delivered;
}

/// Every property, no filtering beyond the copy.
void BM_EnumerateDelivered(benchmark::State& state) {
  BenchHost& b = Bench();
  Uint32 n = 0;
  for (auto _ : state) {
    Array<CIMInstance> got = b.host->EnumerateInstances(b.ctx, b.ns, CIMName("Test_Bulk"));
    n = got.size();
    benchmark::DoNotOptimize(got);
  }
  Report(state, n);
}

/// A two-name property list: most properties are dropped from each copy.
void BM_EnumerateFiltered(benchmark::State& state) {
  BenchHost& b = Bench();
  Array<CIMName> names;
  names.append(CIMName("Id"));
  names.append(CIMName("Count"));
  const CIMPropertyList list(names);
  Uint32 n = 0;
  for (auto _ : state) {
    Array<CIMInstance> got = b.host->EnumerateInstances(b.ctx, b.ns, CIMName("Test_Bulk"), true,
                                                        false, false, false, list);
    n = got.size();
    benchmark::DoNotOptimize(got);
  }
  Report(state, n);
}

/// Through the abstract superclass, shallow: each copy cut to the superclass's properties.
void BM_EnumerateFromSuperclass(benchmark::State& state) {
  BenchHost& b = Bench();
  Uint32 n = 0;
  for (auto _ : state) {
    Array<CIMInstance> got =
        b.host->EnumerateInstances(b.ctx, b.ns, CIMName("CIM_ManagedElement"), false);
    n = got.size();
    benchmark::DoNotOptimize(got);
  }
  Report(state, n);
}

void BM_EnumerateNames(benchmark::State& state) {
  BenchHost& b = Bench();
  Uint32 n = 0;
  for (auto _ : state) {
    Array<CIMObjectPath> got = b.host->EnumerateInstanceNames(b.ctx, b.ns, CIMName("Test_Bulk"));
    n = got.size();
    benchmark::DoNotOptimize(got);
  }
  Report(state, n);
}

BENCHMARK(BM_EnumerateDelivered)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EnumerateFiltered)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EnumerateFromSuperclass)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EnumerateNames)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
