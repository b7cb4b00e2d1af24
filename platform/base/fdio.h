// Whole-buffer reads and writes on stream descriptors, retrying after signals and
// short transfers. Writes never raise SIGPIPE: a peer that went away is an error.
#ifndef MGMT_BASE_FDIO_H
#define MGMT_BASE_FDIO_H

#include <cstdint>
#include <span>

namespace mgmt::base {

/// Reads exactly bytes.size() bytes. Returns 0, or -1 with errno set (ECONNRESET
/// for an end of file before the last byte).
int ReadFull(int fd, std::span<uint8_t> bytes);

/// Reads at least `minimum` bytes into `buffer` (more if they are already there, up
/// to its size). Returns the count, or -1 with errno set (ECONNRESET for an end of
/// file before `minimum`). One read(2) when the peer sent everything at once.
long ReadAtLeast(int fd, std::span<uint8_t> buffer, size_t minimum);

/// Writes every byte. Returns 0, or -1 with errno set.
int WriteFull(int fd, std::span<const uint8_t> bytes);

/// Moves a descriptor that took one of the standard numbers 0, 1 or 2 (which a
/// process gets when it started with them closed) to a number above them, closing
/// the low one. A device there would be mistaken for "not open" by callers that
/// keep 0 for that, and would receive whatever the process prints. Returns the
/// descriptor to use (close-on-exec), or -1 with errno set (`fd` is then closed).
int MoveAboveStdio(int fd);

}  // namespace mgmt::base

#endif
