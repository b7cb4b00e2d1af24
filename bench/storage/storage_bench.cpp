// storage_bench: what one answer of the five storage classes costs.
//
//   storage_bench [RUNS] [--fixture linux24|current]
//
// Prints, as the median of RUNS (default 20) after one warm-up:
//   - one EnumerateInstances of each class through a cimserver started here on a
//     free loopback port (one kept-alive CIM-XML connection),
//   - the same enumerations in-process, straight through the providers,
//   - the bare rescan (StorageData's scan and instance rebuild, no delivery),
//   - one `lsblk -b -J` process, the system's own listing of the same disks.
// Every answer rescans, so each figure includes a full scan. Without --fixture
// the machine's own disks are scanned; with it, one of the test fixture trees
// (linux24 runs its stand-in fdisk and df once per scan).
#include <Pegasus/Client/CIMClient.h>
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/CIMPropertyList.h>
#include <Pegasus/Common/OperationContext.h>
#include <Pegasus/Common/SimpleResponseHandler.h>
#include <Pegasus/Provider/CIMInstanceProvider.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "StorageData.h"
#include "StorageProviderMain.h"
#include "support/cim_server.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace {

using Clock = std::chrono::steady_clock;

struct ClassProvider {
  const char* className;
  const char* providerName;
};

constexpr ClassProvider kClasses[] = {{"SM_DiskDrive", "SMDiskDriveProvider"},
                                      {"SM_CDROMDrive", "SMCDROMDriveProvider"},
                                      {"SM_DVDDrive", "SMDVDDriveProvider"},
                                      {"SM_FloppyDrive", "SMFloppyDriveProvider"},
                                      {"SM_LogicalDisk", "SMLogicalDiskProvider"}};

/// Median wall time of `runs` calls of `step` after one warm-up, in
/// milliseconds; nothing when a call fails.
std::optional<double> MedianMillis(int runs, const std::function<bool()>& step) {
  if (!step()) return std::nullopt;
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    const auto start = Clock::now();
    if (!step()) return std::nullopt;
    times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  std::nth_element(times.begin(), times.begin() + times.size() / 2, times.end());
  return times[times.size() / 2];
}

void PrintFigure(const char* what, const char* cls, std::optional<double> ms, std::size_t n) {
  if (ms) {
    std::printf("%-22s %-16s %9.2f ms  (%zu instances)\n", what, cls, *ms, n);
  } else {
    std::printf("%-22s %-16s    failed\n", what, cls);
  }
}

/// The links of a cimserver root over a fixture tree.
std::vector<std::pair<std::string, std::filesystem::path>> FixtureLinks(const std::string& name) {
  const auto tree = mgmt::test::SourcePath("tests/providers/storage/fixtures/" + name);
  std::vector<std::pair<std::string, std::filesystem::path>> links;
  for (const auto& entry : std::filesystem::directory_iterator(tree)) {
    links.emplace_back(entry.path().filename().string(), entry.path());
  }
  return links;
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 20;
  std::string fixture;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--fixture") == 0 && i + 1 < argc) {
      fixture = argv[++i];
    } else if (std::atoi(argv[i]) > 0) {
      runs = std::atoi(argv[i]);
    } else {
      std::fprintf(stderr, "usage: storage_bench [RUNS] [--fixture linux24|current]\n");
      return 2;
    }
  }

  mgmt::test::CimServerOptions options;
  options.registrations = {mgmt::test::SourcePath("mof/registrations/StorInvProvider.reg")};
  options.modules = {STORAGE_MODULE_PATH};
  if (!fixture.empty()) options.links = FixtureLinks(fixture);
  options.serveFromRoot = !fixture.empty();
  std::unique_ptr<mgmt::test::CimServer> server;
  try {
    server = std::make_unique<mgmt::test::CimServer>(options);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "storage_bench: %s\n", e.what());
    return 1;
  }
  // The in-process providers read the same tree as the server.
  std::optional<mgmt::test::ScopedRoot> root;
  if (!fixture.empty()) root.emplace(server->Root());

  std::printf("storage_bench: %s, median of %d runs\n",
              fixture.empty() ? "this machine's disks" : ("fixture " + fixture).c_str(), runs);

  Pegasus::CIMClient client;
  client.connect("127.0.0.1", server->Port(), "", "");
  for (const ClassProvider& c : kClasses) {
    std::size_t n = 0;
    const auto ms = MedianMillis(runs, [&] {
      try {
        n = client
                .enumerateInstances(Pegasus::CIMNamespaceName("root/cimv2"),
                                    Pegasus::CIMName(c.className))
                .size();
        return true;
      } catch (const Pegasus::Exception&) {
        return false;
      }
    });
    PrintFigure("through cimserver", c.className, ms, n);
  }

  for (const ClassProvider& c : kClasses) {
    std::unique_ptr<Pegasus::CIMProvider> made(
        PegasusCreateProvider(Pegasus::String(c.providerName)));
    auto* provider = dynamic_cast<Pegasus::CIMInstanceProvider*>(made.get());
    Pegasus::CIMOMHandle cimom;
    provider->initialize(cimom);
    Pegasus::OperationContext context;
    std::size_t n = 0;
    const auto ms = MedianMillis(runs, [&] {
      Pegasus::SimpleInstanceResponseHandler handler;
      provider->enumerateInstances(context, Pegasus::CIMObjectPath(Pegasus::String(c.className)),
                                   false, false, Pegasus::CIMPropertyList(), handler);
      n = handler.getObjects().size();
      return true;
    });
    PrintFigure("in-process", c.className, ms, n);
    provider->terminate();
  }

  const auto scan = MedianMillis(runs, [] {
    Pegasus::getStorInv();
    return true;
  });
  PrintFigure("rescan alone", "(all classes)", scan,
              Pegasus::StorageData::GetAllStorageDatas(Pegasus::kStorageDiskDrive).size());

  const auto lsblk = MedianMillis(runs, [] {
    return mgmt::test::RunProgram({"lsblk", "-b", "-J"}).status == 0;
  });
  PrintFigure("lsblk -b -J process", "", lsblk, 0);
  return 0;
}
