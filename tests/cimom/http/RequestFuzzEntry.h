// One untrusted input through the request path, as the fuzzer and the corpus
// replay test both drive it. The first byte chooses what the rest is: a CIM-XML
// body under valid headers (sent to the request handler), or raw bytes on the
// wire (read by the HTTP framing, then handled if they frame a request).
#ifndef MGMT_TESTS_REQUESTFUZZENTRY_H
#define MGMT_TESTS_REQUESTFUZZENTRY_H

#include <cstddef>
#include <cstdint>

namespace mgmt::test {

/// Returns the HTTP status the input was answered with (0: no answer, as when the
/// framing found no complete request).
int FuzzOneRequest(const std::uint8_t* data, std::size_t size);

}  // namespace mgmt::test

#endif
