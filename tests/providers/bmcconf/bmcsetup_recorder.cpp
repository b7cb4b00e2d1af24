// Stands in for bmcsetup in the provider's tests: appends one line per call to
// $MGMTAGENT_ROOT/bmcsetup.calls with what the provider gave it, tab-separated:
// the arguments (joined by \x1f), standard input (\n written as \\n), the open
// descriptors, its session id, parent pid and pid.
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  std::string line;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) line += '\x1f';
    line += argv[i];
  }
  line += '\t';
  char buffer[256];
  ssize_t n;
  while ((n = read(STDIN_FILENO, buffer, sizeof buffer)) > 0) {
    for (ssize_t i = 0; i < n; ++i)
      line += buffer[i] == '\n' ? std::string("\\n") : std::string(1, buffer[i]);
  }
  line += '\t';
  std::vector<int> fds;
  if (DIR* dir = opendir("/proc/self/fd")) {
    while (dirent* entry = readdir(dir)) {
      if (entry->d_name[0] == '.') continue;
      const int fd = std::atoi(entry->d_name);
      if (fd != dirfd(dir)) fds.push_back(fd);
    }
    closedir(dir);
  }
  std::sort(fds.begin(), fds.end());
  for (size_t i = 0; i < fds.size(); ++i) line += (i > 0 ? "," : "") + std::to_string(fds[i]);
  line += '\t' + std::to_string(getsid(0)) + '\t' + std::to_string(getppid()) + '\t' +
          std::to_string(getpid()) + '\n';

  const char* root = std::getenv("MGMTAGENT_ROOT");
  const std::string path = std::string(root != nullptr ? root : "") + "/bmcsetup.calls";
  const int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0 || write(fd, line.data(), line.size()) != static_cast<ssize_t>(line.size())) return 2;
  close(fd);
  return 0;
}
