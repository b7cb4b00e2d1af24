// smbiosinfo: the platform type (-t) or the product name (-m) of this machine,
// one line on standard output; see smbiosinfo.h.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "smbiosinfo.h"

int main(int argc, char** argv) {
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  std::string out;
  std::string err;
  const int status = mgmt::smbiosinfo::Run(args, mgmt::smbiosinfo::SystemSources(), out, err);
  std::fputs(err.c_str(), stderr);
  // The line is written whole or the tool fails: a caller reads the first line.
  if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size() || std::fflush(stdout) != 0) {
    std::perror("smbiosinfo: write");
    return 1;
  }
  return status;
}
