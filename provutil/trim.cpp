#include <cctype>
#include <cstring>

#include "provutil.h"

extern "C" void trim_str(char* text) {
  if (text == nullptr) return;
  // isprint takes an unsigned char value: plain char may be negative for bytes
  // above 0x7F, which would be undefined behaviour.
  for (std::size_t len = std::strlen(text); len > 0; --len) {
    if (std::isprint(static_cast<unsigned char>(text[len - 1])) != 0) break;
    text[len - 1] = '\0';
  }
}
