// One keep-alive HTTP connection of a CIM client: sends a CIM-XML request and
// returns the response body, reconnecting once when the server closed an idle
// connection. Maps transport failures to the client's connection exceptions.
#ifndef MGMT_CLIENT_CLIENTTRANSPORT_H
#define MGMT_CLIENT_CLIENTTRANSPORT_H

#include <chrono>
#include <optional>
#include <string>

#include "http/HttpMessage.h"
#include "net/Socket.h"

namespace mgmt::client {

class ClientTransport {
 public:
  /// TCP to host:port; `authorization` is a full header value or empty.
  ClientTransport(std::string host, unsigned port, std::string authorization);
  /// The Unix socket at `path`.
  explicit ClientTransport(std::string path);

  /// Opens the connection now (connect() reports failures at once).
  void Open(std::chrono::milliseconds timeout);
  /// Posts a request; returns the 200 response. Throws Pegasus exceptions:
  /// CannotConnectException, ConnectionTimeoutException, or CIMException for an
  /// HTTP-level refusal (401 → CIM_ERR_ACCESS_DENIED, others CIM_ERR_FAILED).
  http::Message Post(const std::string& cimMethod, const std::string& cimObject,
                     const std::string& body, std::chrono::milliseconds timeout);

 private:
  base::UniqueFd Dial(std::chrono::milliseconds timeout);

  bool local_;
  std::string host_;  // or the socket path
  unsigned port_ = 0;
  std::string authorization_;
  std::optional<net::Stream> stream_;
};

/// Percent-encodes everything but RFC 3986 unreserved characters.
std::string UriEncode(std::string_view in);

}  // namespace mgmt::client

#endif
