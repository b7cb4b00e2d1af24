// SMBIOS table reading on the largest real table of the shared test data (11, 6768 bytes, 149
// structures): preparation from the exported bytes, one walk touching every
// string, and the emulated drivers from open to the last byte.
//   build/bench/smbios/smbios_bench
#include <benchmark/benchmark.h>
#include <fcntl.h>

#include <cstdio>
#include <vector>

#include "devseam.h"
#include "firmwareioctl.h"
#include "smbios/entrypoint.h"
#include "smbios/tableprep.h"
#include "smbios/walker.h"
#include "smbiosfixture.h"

namespace {

using namespace mgmt;

const test::SmbiosDump& Largest() {
  static const test::SmbiosDump dump = test::LoadSmbiosDump("11-dell-precision-t7600");
  return dump;
}

// The real tables are shared data kept outside the project: without them there is
// nothing to measure.
bool HaveTables() {
  if (test::SmbiosDataAvailable()) return true;
  std::fprintf(stderr, "smbios_bench: no real SMBIOS tables in %s\n",
               test::SmbiosDataDir().c_str());
  return false;
}

void BM_PrepareTable(benchmark::State& state) {
  const auto& dump = Largest();
  for (auto _ : state) {
    auto prepared = smbios::PrepareTable(dump.entryPoint, dump.table);
    benchmark::DoNotOptimize(prepared);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * dump.table.size()));
}
BENCHMARK(BM_PrepareTable);

void BM_WalkWithStrings(benchmark::State& state) {
  const auto& dump = Largest();
  for (auto _ : state) {
    size_t characters = 0;
    for (const smbios::Structure& s : smbios::Structures(dump.table)) {
      for (size_t n = 1; n <= s.StringCount(); ++n) characters += s.String(n)->size();
    }
    benchmark::DoNotOptimize(characters);
  }
}
BENCHMARK(BM_WalkWithStrings);

void BM_SmbdrvOpenHeaderTable(benchmark::State& state) {
  const test::TempRoot root("smbios-bench");
  test::WriteFirmwareTables(root.Path(), Largest().entryPoint, Largest().table);
  std::vector<uint8_t> header(64);
  std::vector<uint8_t> table(65535);
  for (auto _ : state) {
    const int fd = DevOpen("/dev/smbdrv", O_RDONLY);
    if (fd < 0 || DevIoctl(fd, SMBIOS_IOCTL_GET_HEADER, header.data()) != 0 ||
        DevIoctl(fd, SMBIOS_IOCTL_GET_TABLE, table.data()) != 0) {
      state.SkipWithError("/dev/smbdrv failed");
      break;
    }
    DevClose(fd);
  }
}
BENCHMARK(BM_SmbdrvOpenHeaderTable);

void BM_HmpdrvWholeChain(benchmark::State& state) {
  const test::TempRoot root("smbios-bench");
  test::WriteFirmwareTables(root.Path(), Largest().entryPoint, Largest().table);
  std::vector<uint8_t> buffer(4096);
  for (auto _ : state) {
    const int fd = DevOpen("/dev/hmpdrv", O_RDONLY);
    uint16_t handle = dev::kPnpFirstHandle;
    uint32_t size = static_cast<uint32_t>(buffer.size());
    dev::PnpStructureRequest request{&handle, &size, buffer.data()};
    int fetched = 0;
    while (DevIoctl(fd, dev::kPnpGetStructure, &request) == 0) {
      ++fetched;
      if (handle == dev::kPnpNoMoreHandles) break;
    }
    DevClose(fd);
    if (fetched != 149) {
      state.SkipWithError("chain incomplete");
      break;
    }
  }
}
BENCHMARK(BM_HmpdrvWholeChain);

}  // namespace

int main(int argc, char** argv) {
  if (!HaveTables()) return 1;
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
