#include "base/fdio.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>

namespace mgmt::base {

long ReadAtLeast(int fd, std::span<uint8_t> buffer, size_t minimum) {
  size_t done = 0;
  while (done < minimum) {
    const ssize_t n = ::read(fd, buffer.data() + done, buffer.size() - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
    } else if (n == 0) {
      errno = ECONNRESET;
      return -1;
    } else if (errno != EINTR) {
      return -1;
    }
  }
  return static_cast<long>(done);
}

int ReadFull(int fd, std::span<uint8_t> bytes) {
  return ReadAtLeast(fd, bytes, bytes.size()) < 0 ? -1 : 0;
}

int WriteFull(int fd, std::span<const uint8_t> bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    // send() with MSG_NOSIGNAL on sockets; plain write() for anything else.
    ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n < 0 && errno == ENOTSOCK) n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
    } else if (n < 0 && errno != EINTR) {
      return -1;
    }
  }
  return 0;
}

int MoveAboveStdio(int fd) {
  if (fd < 0 || fd > STDERR_FILENO) return fd;
  const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
  const int err = errno;
  ::close(fd);
  errno = err;
  return moved;
}

}  // namespace mgmt::base
