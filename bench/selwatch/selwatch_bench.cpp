// The event monitor with a backlog: 600 records in the simulated BMC's SEL, the
// daemon started, the time until the 600th trap arrives on loopback; beside it
// the same 600 records read over the BMC's LAN port by FreeIPMI's ipmi-sel and
// by ipmitool, the time the daemon's date commands account for, and the
// daemon's resident memory and CPU time over a minute of idle polling.
//
//   selwatch_bench [IDLE_SECONDS]      (default 60; as root: traps go to port 162)
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "provutil.h"
#include "support/net.h"
#include "support/process.h"
#include "support/sim_bmc.h"
#include "support/stand_ins.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

constexpr int kRecords = 600;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

/// Fills the SEL up to `total` records in a few console sessions.
void FillSel(mgmt::test::SimulatedBmc& bmc, int total) {
  const int already = 3;  // the profile's own events
  std::string batch;
  int added = 0;
  for (int i = already; i < total; ++i) {
    char line[128];
    // Alternately CPU1 Temp upper critical going high and Fan 2 lower critical
    // going low, each with its own reading.
    if (i % 2 == 0) {
      std::snprintf(line, sizeof(line),
                    "sel_add 0x20 0x02 0 0 0 0 0x20 0 0x04 0x01 0x01 0x01 0x59 0x%02x 0x55\n",
                    0x56 + i % 40);
    } else {
      std::snprintf(line, sizeof(line),
                    "sel_add 0x20 0x02 0 0 0 0 0x20 0 0x04 0x04 0x11 0x01 0x52 0x%02x 0x0a\n",
                    i % 9);
    }
    batch += line;
    if (++added % 100 == 0 || i + 1 == total) {
      batch.pop_back();
      bmc.Command(batch);
      batch.clear();
    }
  }
}

/// Receives datagrams on ADDRESS:162.
class Receiver {
 public:
  explicit Receiver(const std::string& address) {
    fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    int size = 4 << 20;
    setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &size, sizeof(size));
    sockaddr_in sin{};
    sin.sin_family = AF_INET;
    sin.sin_port = htons(162);
    inet_pton(AF_INET, address.c_str(), &sin.sin_addr);
    if (bind(fd_, reinterpret_cast<sockaddr*>(&sin), sizeof(sin)) != 0)
      throw std::runtime_error("cannot bind " + address + ":162 (run as root)");
  }
  ~Receiver() { close(fd_); }
  /// Waits until `count` datagrams came in; the time the last one arrived.
  Clock::time_point Await(int count, Clock::duration limit) {
    const auto deadline = Clock::now() + limit;
    char buffer[2048];
    while (received_ < count) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      pollfd p{fd_, POLLIN, 0};
      if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0)
        throw std::runtime_error("only " + std::to_string(received_) + " traps arrived");
      while (recv(fd_, buffer, sizeof(buffer), MSG_DONTWAIT) > 0) ++received_;
    }
    return Clock::now();
  }
  int Received() const { return received_; }

 private:
  int fd_ = -1;
  int received_ = 0;
};

/// What /proc says about `pid`: resident memory in kB, its own CPU time and that
/// of its reaped children (the date commands), in clock ticks.
struct Usage {
  long rssKb = 0;
  long privateKb = 0;  ///< pages of its own (not shared library pages)
  long ownTicks = 0;
  long childTicks = 0;
};

Usage UsageOf(pid_t pid) {
  Usage usage;
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.starts_with("VmRSS:")) usage.rssKb = std::stol(line.substr(6));
  }
  std::ifstream rollup("/proc/" + std::to_string(pid) + "/smaps_rollup");
  for (std::string line; std::getline(rollup, line);) {
    if (line.starts_with("Private_Clean:") || line.starts_with("Private_Dirty:"))
      usage.privateKb += std::stol(line.substr(line.find(':') + 1));
  }
  std::ifstream statFile("/proc/" + std::to_string(pid) + "/stat");
  std::string stat;
  std::getline(statFile, stat);
  // Fields after the command name, numbered as in proc(5): 14 utime, 15 stime,
  // 16 cutime, 17 cstime.
  std::istringstream fields(stat.substr(stat.rfind(')') + 2));
  std::string field;
  for (int i = 3; i <= 17 && fields >> field; ++i) {
    if (i == 14 || i == 15) usage.ownTicks += std::stol(field);
    if (i == 16 || i == 17) usage.childTicks += std::stol(field);
  }
  return usage;
}

double LoadAverage() {
  std::ifstream in("/proc/loadavg");
  double load = 0;
  in >> load;
  return load;
}

/// Mean wall time of one "date" command run the way the daemon runs it.
double DateCommandSeconds(int rounds) {
  char name[64];
  const auto start = Clock::now();
  for (int i = 0; i < rounds; ++i) {
    createTmpFileName(name, "bench_date_", sizeof(name));
    system_out("/bin/date +%z", name);
    std::remove(name);
  }
  return Seconds(Clock::now() - start) / rounds;
}

double TimeRun(const std::vector<std::string>& argv, std::string* out = nullptr) {
  mgmt::test::RunOptions options;
  options.timeout = 300s;
  const auto start = Clock::now();
  const auto result = mgmt::test::RunProgram(argv, options);
  const double seconds = Seconds(Clock::now() - start);
  if (!result.Ok()) throw std::runtime_error(argv[0] + " failed: " + result.err);
  if (out != nullptr) *out = result.out;
  return seconds;
}

size_t CountLines(const std::string& text, const std::string& containing) {
  size_t n = 0;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) n += line.find(containing) != std::string::npos;
  return n;
}

}  // namespace

int main(int argc, char** argv) {
  const int idleSeconds = argc > 1 ? std::atoi(argv[1]) : 60;
  try {
    mgmt::test::SimulatedBmc bmc(IMBD_PATH);
    mgmt::test::StandInCommands standIns({"wall", "poweroff"});
    const fs::path root = bmc.Root();
    std::printf("filling the simulated BMC's SEL with %d records...\n", kRecords);
    FillSel(bmc, kRecords);

    const std::string address = mgmt::test::UnusedLoopbackAddress(162);
    mgmt::test::WriteFile(root / "usr/local/share/mgmtagent/agentconf/trap.conf",
                          "trapsink " + address + "\n");
    mgmt::test::WriteFile(root / "usr/local/share/mgmtagent/hmon/hmconfig/SELWATCHModule.conf",
                          "# no plug-in\n");
    fs::create_directories(root / "usr/local/share/mgmtagent/mibs");
    fs::copy_file(mgmt::test::SourcePath("etc/selwatch/MGMTAGENT-PET-MIB.txt"),
                  root / "usr/local/share/mgmtagent/mibs/MGMTAGENT-PET-MIB.txt");
    fs::create_directories(root / "bin");
    fs::create_symlink("/bin/date", root / "bin/date");

    // The LAN readers first, with their SDR caches filled beforehand, so their
    // figure is the SEL read alone.
    mgmt::test::TempDir scratch("selwatch-bench");
    fs::create_directories(scratch / "sdr-cache");
    fs::permissions(scratch / "sdr-cache", fs::perms::owner_all);
    const std::string port = std::to_string(bmc.LanPort());
    const std::vector<std::string> ipmiSel = {
        "ipmi-sel",
        "-D",
        "LAN_2_0",
        "-h",
        "127.0.0.1:" + port,
        "-u",
        "admin",
        "-p",
        "password",
        "-I",
        "3",
        "-W",
        "opensesspriv",
        "--quiet-cache",
        "--sdr-cache-directory=" + (scratch / "sdr-cache").string()};
    const std::vector<std::string> ipmitool = {"ipmitool", "-I",        "lanplus",  "-C",  "3",
                                               "-H",       "127.0.0.1", "-p",       port,  "-U",
                                               "admin",    "-P",        "password", "sel", "list"};
    std::string selOut;
    std::string toolOut;
    TimeRun(ipmiSel);  // builds the SDR cache
    const double ipmiSelSeconds = TimeRun(ipmiSel, &selOut);
    const double ipmitoolSeconds = TimeRun(ipmitool, &toolOut);

    // The date command's cost, measured just before and just after the run.
    const double dateBefore = DateCommandSeconds(50);
    Receiver receiver(address);
    mgmt::test::SpawnOptions spawn;
    spawn.cwd = scratch.Path();
    spawn.err = mgmt::test::Output::File(scratch / "selwatch.err");
    spawn.env.changes = {"MGMTAGENT_ROOT=" + bmc.Root(), "PATH=" + standIns.PathValue()};
    const auto start = Clock::now();
    mgmt::test::ChildProcess daemon({SELWATCH_PATH}, spawn);
    const auto last = receiver.Await(kRecords, 300s);
    const double daemonSeconds = Seconds(last - start);
    const Usage atLastTrap = UsageOf(daemon.Pid());
    const double tick = 1.0 / static_cast<double>(sysconf(_SC_CLK_TCK));

    const double dateSeconds = (dateBefore + DateCommandSeconds(50)) / 2;
    const int dateCommands = kRecords + 1;  // one UTC offset per event, the base time once

    std::printf(
        "\nSEL backlog of %d records, simulated BMC (ipmi_sim through imbd); load average %.1f\n",
        kRecords, LoadAverage());
    std::printf("  selwatch: start to trap %d on %s:162      %7.2f s\n", receiver.Received(),
                address.c_str(), daemonSeconds);
    std::printf("    CPU of selwatch itself                      %7.2f s\n",
                atLastTrap.ownTicks * tick);
    std::printf("    CPU of its %d date commands (sh + date)    %7.2f s\n", dateCommands,
                atLastTrap.childTicks * tick);
    std::printf("    one date command, wall time measured apart  %7.1f ms (x %d = %.2f s)\n",
                dateSeconds * 1000, dateCommands, dateCommands * dateSeconds);
    const double rest = daemonSeconds - dateCommands * dateSeconds;
    if (rest > 0) {
      std::printf("    everything else (wall less the date commands) %5.2f s\n", rest);
    } else {
      std::printf(
          "    everything else: not measurable at this load (the date commands' cost varies "
          "more)\n");
    }
    std::printf("  ipmi-sel over LAN (%zu records listed)        %7.2f s\n",
                CountLines(selOut, "|") - 1, ipmiSelSeconds);
    std::printf("  ipmitool -I lanplus sel list (%zu records)    %7.2f s\n",
                CountLines(toolOut, "|"), ipmitoolSeconds);

    std::this_thread::sleep_for(2s);  // let the first poll's saving finish
    const Usage before = UsageOf(daemon.Pid());
    std::printf("\nidle for %d s (polls every 30 s)...\n", idleSeconds);
    std::this_thread::sleep_for(std::chrono::seconds(idleSeconds));
    const Usage after = UsageOf(daemon.Pid());
    std::printf("  resident memory                               %7.1f MB\n", after.rssKb / 1024.0);
    std::printf("    of it its own (not shared library pages)    %7.1f MB\n",
                after.privateKb / 1024.0);
    std::printf("  CPU time over the idle %d s                   %7.3f s\n", idleSeconds,
                (after.ownTicks + after.childTicks - before.ownTicks - before.childTicks) * tick);
    std::printf("  traps during the idle time                    %7d\n",
                receiver.Received() - kRecords);
    kill(daemon.Pid(), SIGTERM);
    daemon.Wait(3s);
    kill(daemon.Pid(), SIGTERM);
    daemon.Wait(15s);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "selwatch_bench: %s\n", e.what());
    return 1;
  }
  return 0;
}
