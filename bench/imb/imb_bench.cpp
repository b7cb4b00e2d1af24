// Get SEL Entry round trips per second through imbd to ipmi_sim, next to the
// same loop straight over the VM protocol to the same simulator in the same run.
//
//   imb_bench [ROUNDS]        (default 2000)
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "base/fdio.h"
#include "imbapi.h"
#include "support/sim_bmc.h"
#include "vmcodec.h"

namespace vm = mgmt::imbd::vm;
using Clock = std::chrono::steady_clock;

namespace {

constexpr uint8_t kNetFnStorage = 0x0A;
constexpr uint8_t kGetSelEntry = 0x43;
const std::vector<uint8_t> kFirstRecord{0, 0, 1, 0, 0, 0xFF};

// Rounds per second; throws when any request fails.
double ThroughImbd(int rounds, int threads) {
  std::atomic<int> failures{0};
  std::vector<std::thread> workers;
  const auto start = Clock::now();
  for (int t = 0; t < threads; ++t) {
    workers.emplace_back([rounds, threads, &failures] {
      std::vector<uint8_t> data = kFirstRecord;
      IMBPREQUESTDATA req;
      FillRequest(&req, kGetSelEntry, 0x20, 0, kNetFnStorage, 0, data.data(),
                  static_cast<int>(data.size()));
      BYTE resp[128];
      int len = 0;
      BYTE cc = 0;
      for (int i = 0; i < rounds / threads; ++i)
        if (SendTimedImbpRequest(&req, 1000, resp, &len, &cc) != 0 || cc != 0 || len != 18)
          ++failures;
    });
  }
  for (auto& w : workers) w.join();
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  if (failures > 0)
    throw std::runtime_error(std::to_string(failures.load()) + " requests through imbd failed");
  return (rounds / threads * threads) / seconds;
}

// imbd serves as soon as its socket exists but reaches the simulator a moment
// later; wait for the first answer.
void WaitForImbd() {
  for (int i = 0; i < 250; ++i) {
    try {
      ThroughImbd(1, 1);
      return;
    } catch (const std::runtime_error&) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  throw std::runtime_error("imbd does not reach the simulator");
}

double DirectVm(int port, int rounds) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bool connected = false;
  for (int i = 0; i < 100 && !connected; ++i) {
    connected = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0;
    if (!connected) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (!connected) throw std::runtime_error("cannot connect to the simulator");
  const int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof(one));
  auto hello = vm::EncodeControl(vm::kVersion, vm::kProtocolVersion);
  const auto caps = vm::EncodeControl(vm::kCapabilities, vm::kCapPower | vm::kCapReset);
  hello.insert(hello.end(), caps.begin(), caps.end());
  mgmt::base::WriteFull(fd, hello);

  vm::Decoder decoder;
  std::vector<vm::Frame> frames;
  uint8_t buffer[512];
  const auto start = Clock::now();
  for (int i = 0; i < rounds; ++i) {
    const auto wire =
        vm::EncodeRequest(static_cast<uint8_t>(i), kNetFnStorage, 0, kGetSelEntry, kFirstRecord);
    mgmt::base::WriteFull(fd, wire);
    bool answered = false;
    while (!answered) {
      const ssize_t n = ::read(fd, buffer, sizeof(buffer));
      if (n <= 0) throw std::runtime_error("simulator closed the connection");
      frames.clear();
      decoder.Feed({buffer, static_cast<size_t>(n)}, frames);
      for (const auto& f : frames)
        if (f.kind == vm::Frame::Kind::kMessage && f.bytes[0] == static_cast<uint8_t>(i))
          answered = true;
    }
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  ::close(fd);
  return rounds / seconds;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 2000;
  if (rounds <= 0) {
    std::fprintf(stderr, "usage: imb_bench [ROUNDS]\n");
    return 2;
  }
  try {
    mgmt::test::SimulatedBmc sim(IMBD_PATH);
    ::setenv("MGMTAGENT_ROOT", sim.Root().c_str(), 1);
    // The machine may be busy: alternate the two loops over several trials and
    // compare medians. The simulator takes one VM client at a time, so imbd is
    // stopped for each direct trial.
    constexpr int kTrials = 5;
    std::vector<double> direct, imbd1, imbd4, ratio;
    for (int trial = 0; trial < kTrials; ++trial) {
      if (trial > 0 && !sim.StartImbd()) throw std::runtime_error("imbd did not restart");
      WaitForImbd();
      ThroughImbd(100, 1);  // warm up
      imbd1.push_back(ThroughImbd(rounds, 1));
      imbd4.push_back(ThroughImbd(rounds, 4));
      IMBClose();
      sim.StopImbd();
      direct.push_back(DirectVm(sim.VmPort(), rounds));
      ratio.push_back(direct.back() / imbd1.back());
    }
    std::printf("Get SEL Entry round trips per second, median of %d trials of %d rounds\n", kTrials,
                rounds);
    const double d = Median(direct), i1 = Median(imbd1);
    std::printf("  direct VM protocol, 1 client:        %10.0f /s  (%.1f us each)\n", d, 1e6 / d);
    std::printf("  through imbd (SendTimedImbpRequest): %10.0f /s  (%.1f us each)\n", i1, 1e6 / i1);
    std::printf("  through imbd, 4 threads:             %10.0f /s\n", Median(imbd4));
    std::printf(
        "  time per request through imbd: %.2fx the direct loop (median of per-trial "
        "ratios; target: at most 2x)\n",
        Median(ratio));
    const double bestDirect = *std::max_element(direct.begin(), direct.end());
    const double bestImbd = *std::max_element(imbd1.begin(), imbd1.end());
    std::printf(
        "  best trials: direct %.1f us, through imbd %.1f us per request: %.2fx "
        "(least disturbed by other load on the machine)\n",
        1e6 / bestDirect, 1e6 / bestImbd, bestDirect / bestImbd);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "imb_bench: %s\n", e.what());
    return 1;
  }
  return 0;
}
