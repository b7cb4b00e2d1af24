#include "http/HttpMessage.h"

#include <charconv>

namespace mgmt::http {

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

const std::string* Message::Header(std::string_view name) const {
  for (const auto& [k, v] : headers)
    if (EqualsNoCase(k, name)) return &v;
  return nullptr;
}

namespace {

bool IsTokenChar(char c) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
  switch (c) {
    case '!':
    case '#':
    case '$':
    case '%':
    case '&':
    case '\'':
    case '*':
    case '+':
    case '-':
    case '.':
    case '^':
    case '_':
    case '`':
    case '|':
    case '~':
      return true;
    default:
      return false;
  }
}

ReadResult FromIo(net::IoStatus s) {
  switch (s) {
    case net::IoStatus::kOk:
      return ReadResult::kOk;
    case net::IoStatus::kClosed:
      return ReadResult::kIoError;
    case net::IoStatus::kTimedOut:
      return ReadResult::kTimedOut;
    case net::IoStatus::kError:
      return ReadResult::kIoError;
  }
  return ReadResult::kIoError;
}

// Reads header lines up to the empty line into msg.headers, counting bytes against
// `budget`. A line too long for the remaining budget is HeadTooLarge.
ReadResult ReadHeaderLines(net::Stream& s, Message& msg, const Limits& limits, std::size_t& budget,
                           net::Clock::time_point deadline) {
  std::string line;
  for (;;) {
    net::IoStatus st = s.ReadLine(line, budget, deadline);
    if (st == net::IoStatus::kError) return ReadResult::kHeadTooLarge;
    if (st != net::IoStatus::kOk) return FromIo(st);
    budget -= std::min(budget, line.size() + 2);
    if (line.empty()) return ReadResult::kOk;
    // Obsolete line folding is a classic smuggling vector; refuse it.
    if (line.front() == ' ' || line.front() == '\t') return ReadResult::kMalformed;
    auto colon = line.find(':');
    if (colon == std::string::npos || colon == 0) return ReadResult::kMalformed;
    std::string_view name(line.data(), colon);
    for (char c : name)
      if (!IsTokenChar(c)) return ReadResult::kMalformed;
    std::string_view value = Trim(std::string_view(line).substr(colon + 1));
    for (char c : value)
      if ((static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7f)
        return ReadResult::kMalformed;
    if (msg.headers.size() >= limits.maxHeaderCount) return ReadResult::kHeadTooLarge;
    msg.AddHeader(std::string(name), std::string(value));
  }
}

bool ParseSize(std::string_view text, int base, std::size_t& out) {
  text = Trim(text);
  if (text.empty()) return false;
  auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), out, base);
  return ec == std::errc() && p == text.data() + text.size();
}

ReadResult ReadChunked(net::Stream& s, Message& msg, const Limits& limits,
                       net::Clock::time_point deadline) {
  std::string line;
  for (;;) {
    net::IoStatus st = s.ReadLine(line, 1024, deadline);
    if (st == net::IoStatus::kError) return ReadResult::kMalformed;
    if (st != net::IoStatus::kOk) return FromIo(st);
    std::string_view sizeText(line);
    if (auto semi = sizeText.find(';'); semi != std::string_view::npos)
      sizeText = sizeText.substr(0, semi);
    std::size_t n = 0;
    if (sizeText.size() > 16 || !ParseSize(sizeText, 16, n)) return ReadResult::kMalformed;
    if (n == 0) break;
    if (n > limits.maxBodyBytes || msg.body.size() + n > limits.maxBodyBytes)
      return ReadResult::kBodyTooLarge;
    st = s.ReadExact(msg.body, n, deadline);
    if (st != net::IoStatus::kOk) return FromIo(st);
    st = s.ReadLine(line, 2, deadline);
    if (st != net::IoStatus::kOk || !line.empty()) return ReadResult::kMalformed;
  }
  // Trailers (a CIM server may report its status there) join the headers.
  std::size_t budget = limits.maxHeaderBytes;
  return ReadHeaderLines(s, msg, limits, budget, deadline);
}

// Reads the body as the headers describe it. `closeDelimited` allows a body that
// runs to the end of the connection (responses only).
ReadResult ReadBody(net::Stream& s, Message& msg, const Limits& limits,
                    net::Clock::time_point deadline, bool closeDelimited) {
  const std::string* te = msg.Header("Transfer-Encoding");
  const std::string* cl = nullptr;
  for (const auto& [k, v] : msg.headers) {
    if (!EqualsNoCase(k, "Content-Length")) continue;
    if (cl != nullptr && *cl != v) return ReadResult::kMalformed;  // conflicting lengths
    cl = &v;
  }
  if (te != nullptr) {
    if (cl != nullptr) return ReadResult::kMalformed;
    if (!EqualsNoCase(Trim(*te), "chunked")) return ReadResult::kUnsupportedEncoding;
    return ReadChunked(s, msg, limits, deadline);
  }
  if (cl != nullptr) {
    std::size_t n = 0;
    if (!ParseSize(*cl, 10, n)) return ReadResult::kMalformed;
    if (n > limits.maxBodyBytes) return ReadResult::kBodyTooLarge;
    return FromIo(s.ReadExact(msg.body, n, deadline));
  }
  if (!closeDelimited) return ReadResult::kOk;
  net::IoStatus st = s.ReadToEnd(msg.body, limits.maxBodyBytes, deadline);
  if (st == net::IoStatus::kError) return ReadResult::kBodyTooLarge;
  return FromIo(st);
}

}  // namespace

ReadResult ReadRequest(net::Stream& s, Message& msg, const Limits& limits,
                       net::Clock::time_point idleDeadline, net::Clock::time_point deadline) {
  msg = Message{};
  if (!s.WaitReadable(idleDeadline)) return ReadResult::kTimedOut;
  std::string line;
  std::size_t budget = limits.maxHeaderBytes;
  // Tolerate empty lines before a request line, as RFC 9112 asks of servers.
  for (int i = 0;; ++i) {
    net::IoStatus st = s.ReadLine(line, budget, deadline);
    if (st == net::IoStatus::kClosed) return ReadResult::kClosed;
    if (st == net::IoStatus::kError) return ReadResult::kHeadTooLarge;
    if (st != net::IoStatus::kOk) return FromIo(st);
    if (!line.empty()) break;
    if (i > 4) return ReadResult::kMalformed;
  }
  budget -= std::min(budget, line.size() + 2);
  auto sp1 = line.find(' ');
  auto sp2 = sp1 == std::string::npos ? sp1 : line.find(' ', sp1 + 1);
  if (sp1 == std::string::npos || sp2 == std::string::npos ||
      line.find(' ', sp2 + 1) != std::string::npos)
    return ReadResult::kMalformed;
  msg.method = line.substr(0, sp1);
  msg.target = line.substr(sp1 + 1, sp2 - sp1 - 1);
  msg.version = line.substr(sp2 + 1);
  if (msg.method.empty() || msg.target.empty()) return ReadResult::kMalformed;
  for (char c : msg.method)
    if (!IsTokenChar(c)) return ReadResult::kMalformed;
  if (msg.version != "HTTP/1.1" && msg.version != "HTTP/1.0") return ReadResult::kMalformed;
  ReadResult r = ReadHeaderLines(s, msg, limits, budget, deadline);
  if (r != ReadResult::kOk) return r;
  if (msg.Header("Transfer-Encoding") == nullptr && msg.Header("Content-Length") == nullptr &&
      (msg.method == "POST" || msg.method == "M-POST"))
    return ReadResult::kLengthRequired;
  // A client that waits for permission before sending its body gets it here, but
  // only for a body it may send at all: an oversized one is refused unread.
  if (const std::string* expect = msg.Header("Expect");
      expect && EqualsNoCase(Trim(*expect), "100-continue")) {
    if (const std::string* cl = msg.Header("Content-Length")) {
      std::size_t n = 0;
      if (!ParseSize(*cl, 10, n)) return ReadResult::kMalformed;
      if (n > limits.maxBodyBytes) return ReadResult::kBodyTooLarge;
    }
    if (msg.version == "HTTP/1.1" &&
        s.WriteAll("HTTP/1.1 100 Continue\r\n\r\n", deadline) != net::IoStatus::kOk)
      return ReadResult::kIoError;
  }
  return ReadBody(s, msg, limits, deadline, false);
}

ReadResult ReadResponse(net::Stream& s, Message& msg, const Limits& limits,
                        net::Clock::time_point deadline) {
  msg = Message{};
  std::string line;
  std::size_t budget = limits.maxHeaderBytes;
  for (;;) {
    net::IoStatus st = s.ReadLine(line, budget, deadline);
    if (st == net::IoStatus::kClosed) return ReadResult::kClosed;
    if (st == net::IoStatus::kError) return ReadResult::kHeadTooLarge;
    if (st != net::IoStatus::kOk) return FromIo(st);
    budget -= std::min(budget, line.size() + 2);
    if (line.rfind("HTTP/1.", 0) != 0 || line.size() < 12) return ReadResult::kMalformed;
    msg.version = line.substr(0, 8);
    std::size_t code = 0;
    if (!ParseSize(std::string_view(line).substr(9, 3), 10, code)) return ReadResult::kMalformed;
    msg.status = static_cast<int>(code);
    msg.reason = line.size() > 13 ? line.substr(13) : std::string();
    ReadResult r = ReadHeaderLines(s, msg, limits, budget, deadline);
    if (r != ReadResult::kOk) return r;
    if (msg.status != 100) break;
    msg.headers.clear();  // an interim "100 Continue": the real response follows
  }
  if (msg.status == 204 || msg.status == 304) return ReadResult::kOk;
  return ReadBody(s, msg, limits, deadline, true);
}

bool WantsKeepAlive(const Message& msg) {
  bool keep = msg.version == "HTTP/1.1";
  if (const std::string* c = msg.Header("Connection")) {
    std::string_view rest(*c);
    while (!rest.empty()) {
      auto comma = rest.find(',');
      std::string_view tok = Trim(rest.substr(0, comma));
      if (EqualsNoCase(tok, "close")) return false;
      if (EqualsNoCase(tok, "keep-alive")) keep = true;
      if (comma == std::string_view::npos) break;
      rest.remove_prefix(comma + 1);
    }
  }
  return keep;
}

const char* ReasonPhrase(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 400:
      return "Bad Request";
    case 401:
      return "Unauthorized";
    case 403:
      return "Forbidden";
    case 404:
      return "Not Found";
    case 405:
      return "Method Not Allowed";
    case 408:
      return "Request Timeout";
    case 411:
      return "Length Required";
    case 413:
      return "Payload Too Large";
    case 415:
      return "Unsupported Media Type";
    case 431:
      return "Request Header Fields Too Large";
    case 500:
      return "Internal Server Error";
    case 501:
      return "Not Implemented";
    case 503:
      return "Service Unavailable";
    default:
      return "Unknown";
  }
}

namespace {
void AppendHeaders(std::string& out, const Message& msg) {
  bool hasLength = false;
  for (const auto& [k, v] : msg.headers) {
    if (EqualsNoCase(k, "Content-Length")) hasLength = true;
    out += k;
    out += ": ";
    out += v;
    out += "\r\n";
  }
  if (!hasLength) {
    out += "Content-Length: ";
    out += std::to_string(msg.body.size());
    out += "\r\n";
  }
  out += "\r\n";
  out += msg.body;
}
}  // namespace

std::string FormatResponse(const Message& msg) {
  std::string out;
  out.reserve(msg.body.size() + 256);
  out += "HTTP/1.1 ";
  out += std::to_string(msg.status);
  out += ' ';
  out += msg.reason.empty() ? ReasonPhrase(msg.status) : msg.reason;
  out += "\r\n";
  AppendHeaders(out, msg);
  return out;
}

std::string FormatRequest(const Message& msg) {
  std::string out;
  out.reserve(msg.body.size() + 512);
  out += msg.method;
  out += ' ';
  out += msg.target;
  out += " HTTP/1.1\r\n";
  AppendHeaders(out, msg);
  return out;
}

}  // namespace mgmt::http
