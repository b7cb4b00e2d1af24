#include "BytesText.h"

#include <Pegasus/Common/Exception.h>

#include <string>

namespace mgmt::broker {

Pegasus::String StringFromBytes(std::string_view bytes) {
  try {
    return Pegasus::String::fromUtf8(bytes);
  } catch (const Pegasus::Exception&) {
    std::u16string latin1;
    latin1.reserve(bytes.size());
    for (const char c : bytes) latin1.push_back(static_cast<unsigned char>(c));
    return Pegasus::String::fromUtf16(latin1);
  }
}

}  // namespace mgmt::broker
