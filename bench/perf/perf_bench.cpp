// perf_bench: what one sample of the four performance classes costs.
//
//   perf_bench [--cimserver PORT] [--node-exporter PORT] [--runs N]
//
// Prints, as the median of N runs after one warm-up:
//   - one EnumerateInstances of each of the four classes through a running
//     cimserver (CIM-XML over HTTP on 127.0.0.1:PORT, one kept-alive connection),
//   - the same four enumerations in-process, straight through the providers,
//   - reading the /proc files behind them once (whole files, no parsing),
//   - one scrape of a node_exporter's /metrics on 127.0.0.1:PORT, when given.
#include "PerfCountersMain.h"

#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/CIMPropertyList.h>
#include <Pegasus/Common/OperationContext.h>
#include <Pegasus/Common/SimpleResponseHandler.h>
#include <Pegasus/Provider/CIMInstanceProvider.h>
#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct ClassProvider {
  const char* className;
  const char* providerName;
};

constexpr ClassProvider kClasses[] = {
    {"SM_PerfCounters_Memory", "PerfMemoryProvider"},
    {"SM_PerfCounters_Processor", "PerfProcessorProvider"},
    {"SM_PerfCounters_LogicalDisk", "PerfLogicalDiskProvider"},
    {"SM_PerfCounters_NetworkInterface", "PerfNetworkInterfaceProvider"}};

constexpr const char* kProcFiles[] = {"/proc/uptime",    "/proc/meminfo",    "/proc/stat",
                                      "/proc/vmstat",    "/proc/interrupts", "/proc/partitions",
                                      "/proc/diskstats", "/proc/net/dev"};

// Median wall time of `runs` calls of `step` after one warm-up, in microseconds;
// nothing when a call fails.
std::optional<double> MedianMicros(int runs, const std::function<bool()>& step) {
  if (!step()) return std::nullopt;
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    const auto start = Clock::now();
    if (!step()) return std::nullopt;
    times.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
  }
  std::nth_element(times.begin(), times.begin() + times.size() / 2, times.end());
  return times[times.size() / 2];
}

std::string EnumerateRequest(const char* className) {
  return std::string(
             "<?xml version=\"1.0\" encoding=\"utf-8\" ?>"
             "<CIM CIMVERSION=\"2.0\" DTDVERSION=\"2.0\"><MESSAGE ID=\"4711\" "
             "PROTOCOLVERSION=\"1.0\">"
             "<SIMPLEREQ><IMETHODCALL NAME=\"EnumerateInstances\"><LOCALNAMESPACEPATH>"
             "<NAMESPACE NAME=\"root\"/><NAMESPACE NAME=\"cimv2\"/></LOCALNAMESPACEPATH>"
             "<IPARAMVALUE NAME=\"ClassName\"><CLASSNAME NAME=\"") +
         className +
         "\"/></IPARAMVALUE>"
         "<IPARAMVALUE NAME=\"DeepInheritance\"><VALUE>TRUE</VALUE></IPARAMVALUE>"
         "<IPARAMVALUE NAME=\"LocalOnly\"><VALUE>FALSE</VALUE></IPARAMVALUE>"
         "<IPARAMVALUE NAME=\"IncludeQualifiers\"><VALUE>FALSE</VALUE></IPARAMVALUE>"
         "<IPARAMVALUE NAME=\"IncludeClassOrigin\"><VALUE>TRUE</VALUE></IPARAMVALUE>"
         "</IMETHODCALL></SIMPLEREQ></MESSAGE></CIM>";
}

std::optional<double> OverHttp(int port, int runs) {
  httplib::Client client("127.0.0.1", port);
  client.set_keep_alive(true);
  client.set_tcp_nodelay(true);
  const httplib::Headers headers = {{"CIMOperation", "MethodCall"},
                                    {"CIMMethod", "EnumerateInstances"},
                                    {"CIMObject", "root%2Fcimv2"},
                                    {"CIMProtocolVersion", "1.0"}};
  std::vector<std::string> bodies;
  for (const auto& c : kClasses) bodies.push_back(EnumerateRequest(c.className));
  std::size_t bytes = 0;
  const auto result = MedianMicros(runs, [&] {
    bytes = 0;
    for (const auto& body : bodies) {
      const auto reply = client.Post("/cimom", headers, body, "application/xml; charset=utf-8");
      if (!reply || reply->status != 200 || reply->body.find("<ERROR") != std::string::npos ||
          reply->body.find("VALUE.NAMEDINSTANCE") == std::string::npos) {
        std::cerr << "cimserver: EnumerateInstances failed"
                  << (reply ? ": " + reply->body.substr(0, 300) : std::string()) << "\n";
        return false;
      }
      bytes += reply->body.size();
    }
    return true;
  });
  if (result) std::printf("  (%zu bytes of CIM-XML per sample)\n", bytes);
  return result;
}

std::optional<double> InProcess(int runs) {
  std::vector<std::unique_ptr<Pegasus::CIMInstanceProvider>> providers;
  Pegasus::CIMOMHandle cimom;
  for (const auto& c : kClasses) {
    providers.emplace_back(dynamic_cast<Pegasus::CIMInstanceProvider*>(
        PegasusCreateProvider(Pegasus::String(c.providerName))));
    if (!providers.back()) return std::nullopt;
    providers.back()->initialize(cimom);
  }
  const Pegasus::OperationContext context;
  std::size_t instances = 0;
  auto result = MedianMicros(runs, [&] {
    instances = 0;
    for (std::size_t i = 0; i < providers.size(); ++i) {
      Pegasus::SimpleInstanceResponseHandler handler;
      providers[i]->enumerateInstances(context, Pegasus::CIMObjectPath(kClasses[i].className),
                                       false, false, Pegasus::CIMPropertyList(), handler);
      instances += handler.getObjects().size();
    }
    return instances > 0;
  });
  if (result) std::printf("  (%zu instances per sample)\n", instances);
  for (auto& p : providers) p->terminate();
  return result;
}

std::optional<double> ReadProc(int runs) {
  std::string buffer;
  return MedianMicros(runs, [&] {
    for (const char* path : kProcFiles) {
      std::ifstream in(path, std::ios::binary);
      buffer.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return true;
  });
}

std::optional<double> Scrape(int port, int runs) {
  httplib::Client client("127.0.0.1", port);
  client.set_keep_alive(true);
  client.set_tcp_nodelay(true);
  std::size_t bytes = 0;
  auto result = MedianMicros(runs, [&] {
    const auto reply = client.Get("/metrics");
    if (!reply || reply->status != 200) return false;
    bytes = reply->body.size();
    return true;
  });
  if (result) std::printf("  (%zu bytes of metrics per scrape)\n", bytes);
  return result;
}

void Print(const char* what, const std::optional<double>& micros) {
  if (micros) {
    std::printf("%-58s %10.3f ms\n", what, *micros / 1000.0);
  } else {
    std::printf("%-58s %10s\n", what, "failed");
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::optional<int> cimPort;
  std::optional<int> nodePort;
  int runs = 50;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string flag = argv[i];
    const int value = std::atoi(argv[i + 1]);
    if (flag == "--cimserver")
      cimPort = value;
    else if (flag == "--node-exporter")
      nodePort = value;
    else if (flag == "--runs")
      runs = std::max(1, value);
  }
  std::printf("median of %d runs after one warm-up\n", runs);
  if (cimPort)
    Print("all four classes through cimserver (CIM-XML over HTTP)", OverHttp(*cimPort, runs));
  Print("all four classes in-process (providers directly)", InProcess(runs));
  Print("reading the /proc files once (8 files, no parsing)", ReadProc(runs));
  if (nodePort) Print("one node_exporter scrape (HTTP GET /metrics)", Scrape(*nodePort, runs));
  return 0;
}
