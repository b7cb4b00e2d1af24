// A writer killed at any point of a flush leaves the old file or the new one.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "cfgtest.h"

namespace {

using Clock = std::chrono::steady_clock;

/// A file large enough that writing it takes a while: `lines` entries of one
/// section, every value made of `fill`, laid out as the store makes a new
/// section (with an empty line after it).
std::string Content(int lines, char fill) {
  std::string text = "[Big]\n";
  for (int i = 0; i < lines; ++i) {
    text += "key" + std::to_string(i) + "=" + std::string(200, fill) + "\n";
  }
  return text + "\n";
}

/// A handle holding `text` for `path`, not yet read from or written to it.
_CfgFile* HandleWith(const std::string& path, int lines, char fill) {
  _CfgFile* cfg = CfgNew(path.c_str());
  const std::string value(200, fill);
  for (int i = 0; i < lines; ++i) {
    CfgWriteString(cfg, "Big", ("key" + std::to_string(i)).c_str(), value.c_str());
  }
  return cfg;
}

using CfgCrash = CfgTest;

TEST_F(CfgCrash, KilledWritersLeaveTheOldOrTheNewFile) {
  constexpr int kLines = 400;  // about 80 KiB
  const std::string path = PathOf("c.conf");
  const std::string a = Content(kLines, 'a');
  const std::string b = Content(kLines, 'b');
  Write("c.conf", a);

  // Time one flush, so that kills land anywhere from before the first write to
  // after several flushes.
  _CfgFile* probe = HandleWith(PathOf("probe.conf"), kLines, 'a');
  const auto start = Clock::now();
  ASSERT_EQ(CfgFlush(probe), 0);
  const auto flushTime =
      std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start);
  CfgFree(probe);

  // Made before the children start, so that they begin flushing at once.
  const CfgPtr toA(HandleWith(path, kLines, 'a'));
  const CfgPtr toB(HandleWith(path, kLines, 'b'));

  std::mt19937 random(std::random_device{}());
  long maxDelay = 3 * flushTime.count() + 1000;
  int sawA = 0;
  int sawB = 0;
  // Rounds go on (within a generous bound) until both contents have turned up:
  // on a loaded machine a child may need longer than the timed flush suggests,
  // so the kill window widens while the new content has not been seen.
  const auto soft = Clock::now() + std::chrono::seconds(3);
  const auto hard = Clock::now() + std::chrono::seconds(30);
  for (int round = 0;
       Clock::now() < hard && ((round < 300 && Clock::now() < soft) || sawA == 0 || sawB == 0);
       ++round) {
    if (sawB == 0 && round > 0 && round % 20 == 0) maxDelay *= 2;
    std::uniform_int_distribution<long> delay(0, maxDelay);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      // Alternates between the two contents, flushing each in full, until killed.
      for (;;) {
        CfgWriteString(toB.get(), "Big", "key0", std::string(200, 'b').c_str());
        CfgFlush(toB.get());
        CfgWriteString(toA.get(), "Big", "key0", std::string(200, 'a').c_str());
        CfgFlush(toA.get());
      }
    }
    std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
    kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);

    const std::string now = Read("c.conf");
    if (now == a) {
      ++sawA;
    } else if (now == b) {
      ++sawB;
    } else {
      FAIL() << "round " << round << ": the file holds " << now.size()
             << " bytes that are neither the old nor the new content";
    }
  }
  // Both contents turned up, so kills did land between and during flushes.
  EXPECT_GT(sawA, 0);
  EXPECT_GT(sawB, 0);

  // The killed writers' half-written siblings go with the next flush.
  CfgWriteString(toA.get(), "Big", "key0", std::string(200, 'c').c_str());
  ASSERT_EQ(CfgFlush(toA.get()), 0);
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(dir_)) {
    const std::string name = entry.path().filename().string();
    if (name != "c.conf" && name != "probe.conf") left.push_back(name);
  }
  EXPECT_TRUE(left.empty()) << left.size() << " files left behind, first " << left.front();
  RecordProperty("rounds_old", sawA);
  RecordProperty("rounds_new", sawB);
}

}  // namespace
