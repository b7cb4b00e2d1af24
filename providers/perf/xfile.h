// File helpers of the performance samplers: trimming, the line finder `filegrep`
// and the system clock `getTimestamp`.
#ifndef MGMT_PERF_XFILE_H
#define MGMT_PERF_XFILE_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

/// Removes, in place, every non-printable character (by isprint) from the end of `s`,
/// stopping at the last printable one. A null or empty string is left alone.
void trimstr(char* s);

/// Copies the `n`-th line (counted from 1; 0 means 1) of the file at `path` (resolved
/// through the installation root) that contains `pattern` into `dest`, which is
/// zero-filled first and always left NUL-terminated (at most destSize - 1 characters
/// are copied), trims it with trimstr and returns `dest`.
///
/// The file is read in pieces of at most 127 characters, so a longer line is seen as
/// several consecutive lines and only the piece holding the match is copied.
///
/// Returns null when a pointer argument is null, destSize is 0, n is negative, the
/// file can't be opened or fewer than n lines match.
char* filegrep(const char* path, const char* pattern, int n, char* dest, std::size_t destSize);

/// The two clocks, from the seconds since boot in /proc/uptime: jiffies (1/100 s)
/// and ticks (1/1000 s), both truncated. Both are 0 when the file or the value is
/// missing. The decimal text is converted exactly, so 3600.50 s is 360050 jiffies
/// and 3600500 ticks, and 9999.97 s is 999997 jiffies (multiplying the binary
/// floating-point value by 100.0 and truncating gives 999996).
void getTimestamp(std::uint64_t& jiffies, std::uint64_t& ticks);

namespace perf {

/// Size of the pieces filegrep reads a file in (127 characters and the NUL).
inline constexpr std::size_t kGrepPiece = 128;

/// The first piece of the file at `path` (read as filegrep reads it, at most 127
/// characters, trailing newline included) for which `match` is true, or nothing
/// when the file can't be opened or no piece matches. When `cut` is given, it is
/// set to whether the piece's line goes on past the piece (a line of exactly 127
/// characters, followed by its newline or the end of the file, is not cut).
std::optional<std::string> FindPiece(std::string_view path,
                                     const std::function<bool(std::string_view)>& match,
                                     bool* cut = nullptr);

}  // namespace perf

#endif
