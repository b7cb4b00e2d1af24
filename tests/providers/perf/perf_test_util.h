// The fixture roots of the performance-counter tests: "linux24" (the 2.4 /proc
// layout) and "current".
#ifndef MGMT_TESTS_PERF_TEST_UTIL_H
#define MGMT_TESTS_PERF_TEST_UTIL_H

#include <string>

#include "support/temp_dir.h"

namespace perftest {

inline std::string FixtureRoot(const std::string& name) {
  return mgmt::test::SourcePath("tests/providers/perf/fixtures/" + name).string();
}

}  // namespace perftest

#endif
