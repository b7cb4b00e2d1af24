// dmi_bench: what the nine inventory classes cost on one SMBIOS table.
//
//   dmi_bench [RUNS] [--table NAME]
//
// Prints, as the median of RUNS (default 20) after one warm-up, for the largest
// shared table (or NAME, e.g. 10-ibm-x3950-m2):
//   - EnumerateInstances of all nine classes through a cimserver started here on a
//     free loopback port (one kept-alive CIM-XML connection), and of each class;
//   - the same nine enumerations in-process, straight through the providers;
//   - a cold start in-process: the table read through the emulated /dev/smbdrv,
//     the nine providers created, initialized, enumerated and terminated;
//   - one `dmidecode --from-dump` process decoding the same table.
#include <Pegasus/Client/CIMClient.h>
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/CIMPropertyList.h>
#include <Pegasus/Common/OperationContext.h>
#include <Pegasus/Common/SimpleResponseHandler.h>
#include <Pegasus/Provider/CIMInstanceProvider.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "BiosProviderMain.h"
#include "smbiosfixture.h"
#include "support/cim_server.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kClasses[] = {
    "SM_BIOSElement",           "SM_Processor",  "SM_PhysicalMemory",
    "SM_PortConnector",         "SM_SystemSlot", "SM_Bus",
    "SM_ComputerSystemProduct", "SM_BaseBoard",  "SM_Chassis"};

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

void PrintFigure(const char* what, const char* cls, std::optional<double> ms,
                 std::optional<std::size_t> n) {
  if (ms && n) {
    std::printf("%-30s %-26s %9.3f ms  (%zu instances)\n", what, cls, *ms, *n);
  } else if (ms) {
    std::printf("%-30s %-26s %9.3f ms\n", what, cls, *ms);
  } else {
    std::printf("%-30s %-26s    failed\n", what, cls);
  }
}

std::string LargestTable() {
  std::string best;
  std::size_t bestSize = 0;
  for (const auto& name : mgmt::test::SmbiosDumpNames()) {
    const std::size_t size = mgmt::test::LoadSmbiosDump(name).table.size();
    if (size > bestSize) best = name, bestSize = size;
  }
  return best;
}

/// Enumerates `cls` in-process through `provider`: the number of instances.
std::size_t Enumerate(Pegasus::CIMInstanceProvider& provider, const char* cls) {
  Pegasus::SimpleInstanceResponseHandler handler;
  provider.enumerateInstances(Pegasus::OperationContext(), Pegasus::CIMObjectPath(cls), false,
                              false, Pegasus::CIMPropertyList(), handler);
  return handler.getObjects().size();
}

struct Providers {
  std::vector<std::unique_ptr<Pegasus::CIMProvider>> made;
  Pegasus::CIMOMHandle cimom;

  bool Start() {
    for (const char* cls : kClasses) {
      made.emplace_back(PegasusCreateProvider(Pegasus::String(cls)));
      if (!made.back()) return false;
      made.back()->initialize(cimom);
    }
    return true;
  }
  std::size_t EnumerateAll() {
    std::size_t n = 0;
    for (std::size_t i = 0; i < made.size(); ++i) {
      n += Enumerate(dynamic_cast<Pegasus::CIMInstanceProvider&>(*made[i]), kClasses[i]);
    }
    return n;
  }
  ~Providers() {
    for (auto& p : made) {
      if (p) p->terminate();
    }
  }
};

}  // namespace

int main(int argc, char** argv) {
  int runs = 20;
  std::string table;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--table") == 0 && i + 1 < argc) {
      table = argv[++i];
    } else if (std::atoi(argv[i]) > 0) {
      runs = std::atoi(argv[i]);
    } else {
      std::fprintf(stderr, "usage: dmi_bench [RUNS] [--table NAME]\n");
      return 2;
    }
  }
  if (!mgmt::test::SmbiosDataAvailable()) {
    std::fprintf(stderr, "dmi_bench: no SMBIOS tables in %s\n",
                 mgmt::test::SmbiosDataDir().c_str());
    return 1;
  }
  if (table.empty()) table = LargestTable();
  const auto dump = mgmt::test::LoadSmbiosDump(table);

  // The machine: its firmware tables and a /proc/bus with a few buses.
  mgmt::test::TempDir machine("dmi-bench");
  mgmt::test::WriteFirmwareTables(machine.Path(), dump.entryPoint, dump.table);
  for (const char* bus : {"pci/00", "pci/3a", "pci/ae", "usb/001", "usb/002"}) {
    machine.Write(std::string("proc/bus/") + bus + "/.keep", "");
  }

  mgmt::test::CimServerOptions options;
  options.registrations = {mgmt::test::SourcePath("mof/registrations/DmiInventory.reg")};
  options.modules = {DMI_MODULE_PATH};
  options.links = {{"sys", machine.Path() / "sys"}, {"proc", machine.Path() / "proc"}};
  std::unique_ptr<mgmt::test::CimServer> server;
  try {
    server = std::make_unique<mgmt::test::CimServer>(options);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "dmi_bench: %s\n", e.what());
    return 1;
  }
  std::printf("dmi_bench: table %s (%zu bytes), median of %d runs\n", table.c_str(),
              dump.table.size(), runs);

  Pegasus::CIMClient client;
  try {
    client.connect("127.0.0.1", server->Port(), "", "");
  } catch (const Pegasus::Exception& e) {
    std::fprintf(stderr, "dmi_bench: cannot connect to cimserver: %s\n",
                 static_cast<const char*>(e.getMessage().getCString()));
    return 1;
  }
  const auto enumerateOverHttp = [&](const char* cls) {
    return client.enumerateInstances(Pegasus::CIMNamespaceName("root/cimv2"), Pegasus::CIMName(cls))
        .size();
  };
  std::size_t total = 0;
  const auto all = MedianMillis(runs, [&] {
    try {
      total = 0;
      for (const char* cls : kClasses) total += enumerateOverHttp(cls);
      return true;
    } catch (const Pegasus::Exception&) {
      return false;
    }
  });
  PrintFigure("through cimserver (CIM-XML)", "all nine classes", all, total);
  for (const char* cls : kClasses) {
    std::size_t n = 0;
    const auto ms = MedianMillis(runs, [&] {
      try {
        n = enumerateOverHttp(cls);
        return true;
      } catch (const Pegasus::Exception&) {
        return false;
      }
    });
    PrintFigure("  through cimserver", cls, ms, n);
  }

  // In-process, on the same machine tree.
  const mgmt::test::ScopedRoot root(server->Root());
  {
    Providers warm;
    if (!warm.Start()) {
      std::fprintf(stderr, "dmi_bench: the module made no provider\n");
      return 1;
    }
    const auto ms = MedianMillis(runs, [&] {
      total = warm.EnumerateAll();
      return true;
    });
    PrintFigure("in-process", "all nine classes", ms, total);
  }
  const auto cold = MedianMillis(runs, [&] {
    Providers fresh;
    if (!fresh.Start()) return false;
    total = fresh.EnumerateAll();
    return true;
  });
  PrintFigure("in-process from a cold table", "load, initialize, enumerate", cold, total);

  const auto file = (mgmt::test::SmbiosDataDir() / (table + ".bin")).string();
  const auto dmidecode = MedianMillis(runs, [&] {
    return mgmt::test::RunProgram({"dmidecode", "--from-dump", file}).status == 0;
  });
  PrintFigure("dmidecode --from-dump process", "", dmidecode, std::nullopt);
  if (all && dmidecode) {
    std::printf("all nine classes through cimserver take %.2f times the dmidecode process\n",
                *all / *dmidecode);
  }
  return 0;
}
