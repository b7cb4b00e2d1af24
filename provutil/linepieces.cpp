#include "linepieces.h"

#include <cstring>
#include <string>

#include "installroot.h"

namespace provutil {

LinePieces::LinePieces(const char* path) : file_(mgmt::base::OpenFile(mgmt::RootPath(path), "r")) {}

const char* LinePieces::Next() {
  if (!file_ || std::fgets(buf_, sizeof buf_, file_.get()) == nullptr) return nullptr;
  const std::size_t len = std::strlen(buf_);
  if (len == sizeof buf_ - 1 && buf_[len - 1] != '\n') {
    // The buffer filled up. When the line end comes right after, it belongs to
    // this piece; otherwise the line goes on and its rest is read next time.
    const int c = std::getc(file_.get());
    if (c != '\n' && c != EOF) std::ungetc(c, file_.get());
  }
  return buf_;
}

}  // namespace provutil
