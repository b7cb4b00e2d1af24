// Throughput of the CIM-XML front end: CIMClient → HTTP (keep-alive, Basic
// authentication) → request handler → scripted backend and back.
//   GetInstance with 1 and 4 concurrent clients: requests per second, median latency
//   EnumerateInstances of 1000 instances: instances per second
// Usage: cimxml_bench [seconds per GetInstance run, default 3]
#include <Pegasus/Client/CIMClient.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <vector>

#include "FakeOperations.h"
#include "TestServer.h"

using namespace Pegasus;
using Clock = std::chrono::steady_clock;

namespace {

const CIMNamespaceName kNs("root/cimv2");

CIMInstance Thing(int i) {
  CIMInstance t(CIMName("Test_Thing"));
  const std::string id = "thing-" + std::to_string(i);
  t.addProperty(CIMProperty(CIMName("Id"), CIMValue(String(id.c_str()))));
  t.addProperty(CIMProperty(CIMName("Caption"), CIMValue(String("A thing for measuring"))));
  t.addProperty(CIMProperty(CIMName("Count"), CIMValue(Uint32(i))));
  t.addProperty(CIMProperty(CIMName("Bytes"), CIMValue(Uint64(1234567890123ull * i))));
  t.addProperty(CIMProperty(CIMName("Enabled"), CIMValue(Boolean(i % 2 == 0))));
  t.addProperty(CIMProperty(CIMName("Ratio"), CIMValue(Real64(i / 3.0))));
  Array<Uint16> status;
  status.append(2);
  status.append(5);
  t.addProperty(CIMProperty(CIMName("OperationalStatus"), CIMValue(status)));
  t.addProperty(CIMProperty(CIMName("Location"), CIMValue(String("rack 4 / slot 12 <front>"))));
  return t;
}

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::nth_element(v.begin(), v.begin() + static_cast<long>(v.size() / 2), v.end());
  return v[v.size() / 2];
}

void GetInstanceRun(unsigned port, int clients, double seconds) {
  std::vector<std::vector<double>> lat(static_cast<size_t>(clients));
  std::atomic<bool> go{false};
  std::vector<std::thread> threads;
  for (int c = 0; c < clients; ++c) {
    threads.emplace_back([&, c] {
      CIMClient client;
      client.connect("127.0.0.1", port, "alice", "wonderland");
      const CIMObjectPath path = mgmt::test::FakeOperations::PathOf("thing-" + std::to_string(c));
      client.getInstance(kNs, path);  // warm: connection and credential check
      while (!go) std::this_thread::yield();
      const auto end = Clock::now() + std::chrono::duration<double>(seconds);
      while (Clock::now() < end) {
        auto t0 = Clock::now();
        client.getInstance(kNs, path);
        lat[static_cast<size_t>(c)].push_back(
            std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
      }
    });
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  const auto start = Clock::now();
  go = true;
  for (auto& t : threads) t.join();
  const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
  std::vector<double> all;
  for (auto& l : lat) all.insert(all.end(), l.begin(), l.end());
  std::printf(
      "GetInstance, %d client%s: %8.0f requests/s, median latency %7.1f us (%zu requests)\n",
      clients, clients == 1 ? " " : "s", static_cast<double>(all.size()) / elapsed, Median(all),
      all.size());
}

void EnumerateRun(unsigned port, int rounds) {
  CIMClient client;
  client.connect("127.0.0.1", port, "alice", "wonderland");
  client.enumerateInstances(kNs, CIMName("Test_Thing"));
  std::vector<double> times;
  size_t count = 0;
  for (int r = 0; r < rounds; ++r) {
    auto t0 = Clock::now();
    count = client.enumerateInstances(kNs, CIMName("Test_Thing")).size();
    times.push_back(std::chrono::duration<double>(Clock::now() - t0).count());
  }
  const double med = Median(times);
  std::printf(
      "EnumerateInstances of %zu instances: %8.0f instances/s (median %.1f ms per enumeration, %d "
      "rounds)\n",
      count, static_cast<double>(count) / med, med * 1000, rounds);
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 3.0;
  mgmt::test::TestServer srv(true);
  for (int i = 0; i < 1000; ++i) srv.ops.Add(Thing(i), "thing-" + std::to_string(i));
  std::printf("CIM-XML over HTTP on 127.0.0.1:%u (keep-alive, Basic authentication)\n", srv.port);
  GetInstanceRun(srv.port, 1, seconds);
  GetInstanceRun(srv.port, 4, seconds);
  EnumerateRun(srv.port, 20);
  return 0;
}
