// HTTP/1.1 message framing for CIM-XML: reading request and response heads and
// bodies (Content-Length, chunked, or close-delimited) under size limits, and
// formatting the messages we send. Kept apart from sockets' policy (who reads, how
// long) and from CIM semantics, so the same code frames both client and server.
#ifndef MGMT_HTTP_HTTPMESSAGE_H
#define MGMT_HTTP_HTTPMESSAGE_H

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "net/Socket.h"

namespace mgmt::http {

/// Bounds on what a peer may send us.
struct Limits {
  std::size_t maxHeaderBytes = 16 * 1024;  ///< start line plus all header lines
  std::size_t maxHeaderCount = 64;
  std::size_t maxBodyBytes = 4 * 1024 * 1024;
};

/// A request or a response; the fields not used by one kind stay empty.
struct Message {
  std::string method;   ///< request: "POST", "M-POST", …
  std::string target;   ///< request: "/cimom"
  std::string version;  ///< "HTTP/1.1" or "HTTP/1.0"
  int status = 0;       ///< response: 200, 401, …
  std::string reason;   ///< response
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;

  /// The first header of that name (case-insensitive), or nullptr.
  const std::string* Header(std::string_view name) const;
  void AddHeader(std::string name, std::string value) {
    headers.emplace_back(std::move(name), std::move(value));
  }
};

/// Why reading a message stopped.
enum class ReadResult {
  kOk,
  kClosed,  ///< the peer closed before a message began
  kTimedOut,
  kIoError,
  kMalformed,            ///< 400
  kHeadTooLarge,         ///< 431
  kBodyTooLarge,         ///< 413
  kLengthRequired,       ///< 411
  kUnsupportedEncoding,  ///< 501: a Transfer-Encoding we do not decode
};

/// Reads one request from `s`. `idleDeadline` bounds the wait for its first byte (a
/// keep-alive connection between requests), `deadline` the whole message.
ReadResult ReadRequest(net::Stream& s, Message& msg, const Limits& limits,
                       net::Clock::time_point idleDeadline, net::Clock::time_point deadline);

/// Reads one response; `headRequest` is false for every CIM exchange.
ReadResult ReadResponse(net::Stream& s, Message& msg, const Limits& limits,
                        net::Clock::time_point deadline);

/// True when the connection stays open after this request/response pair.
bool WantsKeepAlive(const Message& msg);

/// Serialises `msg` as a response (status line, headers, Content-Length, body).
std::string FormatResponse(const Message& msg);
/// Serialises `msg` as a request.
std::string FormatRequest(const Message& msg);

/// The standard reason phrase of a status code.
const char* ReasonPhrase(int status);

/// Case-insensitive ASCII comparison.
bool EqualsNoCase(std::string_view a, std::string_view b);

/// Strips blanks and tabs at both ends.
std::string_view Trim(std::string_view s);

}  // namespace mgmt::http

#endif
