// Reading a text file in the pieces the grep utilities match against.
#ifndef MGMT_PROVUTIL_LINEPIECES_H
#define MGMT_PROVUTIL_LINEPIECES_H

#include "base/fd.h"

namespace provutil {

/// Size of the line buffer: a piece holds at most kPieceBuffer - 1 characters.
inline constexpr int kPieceBuffer = 128;

/// A text file opened through the installation root and read piece by piece.
/// A piece is a line with its line end, or, for a line longer than 127
/// characters, 127 characters of it; the rest of that line follows as further
/// pieces. A line of exactly 127 characters is one piece: its line end is
/// consumed with it rather than showing up as an empty piece of its own.
class LinePieces {
 public:
  /// Opens `path` for reading; check Open() before reading.
  explicit LinePieces(const char* path);

  [[nodiscard]] bool Open() const { return file_ != nullptr; }

  /// The next piece, valid until the next call, or null at the end of the file.
  const char* Next();

 private:
  mgmt::base::UniqueFile file_;
  char buf_[kPieceBuffer] = {};
};

}  // namespace provutil

#endif
