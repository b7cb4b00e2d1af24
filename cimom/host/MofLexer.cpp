#include "MofLexer.h"

#include "HostError.h"

#include <cctype>

namespace mgmt::cimom {
namespace {

bool isIdentStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool isIdentChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

class Lexer {
 public:
  Lexer(std::string_view text, const std::string& file) : s_(text), file_(file) {}

  std::vector<MofToken> run() {
    std::vector<MofToken> out;
    for (;;) {
      skipBlankAndComments();
      if (pos_ >= s_.size()) break;
      out.push_back(token());
    }
    out.push_back(MofToken{MofTokenKind::End, "", line_});
    return out;
  }

 private:
  [[noreturn]] void fail(const std::string& what) { throw ConfigError(file_, line_, what); }

  char peek(size_t ahead = 0) const { return pos_ + ahead < s_.size() ? s_[pos_ + ahead] : '\0'; }

  void skipBlankAndComments() {
    while (pos_ < s_.size()) {
      char c = s_[pos_];
      if (c == '\n') {
        ++line_;
        ++pos_;
        atLineStart_ = true;
      } else if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
        ++pos_;
      } else if (c == '/' && peek(1) == '/') {
        skipToEndOfLine();
      } else if (c == '#' && atLineStart_) {
        skipToEndOfLine();  // #pragma and friends: not part of the subset
      } else if (c == '/' && peek(1) == '*') {
        int startLine = line_;
        pos_ += 2;
        while (pos_ < s_.size() && !(s_[pos_] == '*' && peek(1) == '/')) {
          if (s_[pos_] == '\n') ++line_;
          ++pos_;
        }
        if (pos_ >= s_.size()) throw ConfigError(file_, startLine, "unterminated comment");
        pos_ += 2;
      } else {
        return;
      }
    }
  }

  void skipToEndOfLine() {
    while (pos_ < s_.size() && s_[pos_] != '\n') ++pos_;
  }

  MofToken token() {
    atLineStart_ = false;
    char c = s_[pos_];
    if (isIdentStart(c)) {
      size_t start = pos_;
      while (pos_ < s_.size() && isIdentChar(s_[pos_])) ++pos_;
      return {MofTokenKind::Identifier, std::string(s_.substr(start, pos_ - start)), line_};
    }
    if (c == '"') return stringLiteral();
    if (c == '\'') return charLiteral();
    if (isDigit(c) || ((c == '-' || c == '+' || c == '.') && isDigit(peek(1)))) return number();
    static constexpr std::string_view kPunct = "{}()[];,:=";
    if (kPunct.find(c) != std::string_view::npos) {
      ++pos_;
      return {MofTokenKind::Punct, std::string(1, c), line_};
    }
    fail(std::string("unexpected character '") + c + "'");
  }

  void escape(std::string& out) {
    char e = peek();
    ++pos_;
    switch (e) {
      case 'n':
        out += '\n';
        break;
      case 't':
        out += '\t';
        break;
      case 'r':
        out += '\r';
        break;
      case 'b':
        out += '\b';
        break;
      case 'f':
        out += '\f';
        break;
      case '"':
        out += '"';
        break;
      case '\'':
        out += '\'';
        break;
      case '\\':
        out += '\\';
        break;
      case 'x':
      case 'X': {
        int value = 0, digits = 0;
        while (digits < 2 && hexValue(peek()) >= 0) {
          value = value * 16 + hexValue(peek());
          ++pos_;
          ++digits;
        }
        if (digits == 0 || value == 0) fail("bad \\x escape");
        out += static_cast<char>(value);
        break;
      }
      default:
        fail("unknown escape in string");
    }
  }

  MofToken stringLiteral() {
    int startLine = line_;
    ++pos_;
    std::string out;
    for (;;) {
      if (pos_ >= s_.size() || s_[pos_] == '\n') {
        throw ConfigError(file_, startLine, "unterminated string");
      }
      char c = s_[pos_++];
      if (c == '"') break;
      if (c == '\\') {
        escape(out);
      } else {
        out += c;
      }
    }
    return {MofTokenKind::String, out, startLine};
  }

  MofToken charLiteral() {
    ++pos_;
    std::string out;
    if (peek() == '\\') {
      ++pos_;
      escape(out);
    } else if (pos_ < s_.size() && s_[pos_] != '\'') {
      out += s_[pos_++];
    }
    if (peek() != '\'') fail("bad character literal");
    ++pos_;
    return {MofTokenKind::String, out, line_};
  }

  MofToken number() {
    size_t start = pos_;
    if (peek() == '-' || peek() == '+') ++pos_;
    bool real = false;
    if (peek() == '0' && (peek(1) == 'x' || peek(1) == 'X')) {
      pos_ += 2;
      while (hexValue(peek()) >= 0) ++pos_;
    } else {
      while (isDigit(peek()) || peek() == '.' || peek() == 'e' || peek() == 'E' ||
             ((peek() == '-' || peek() == '+') && (s_[pos_ - 1] == 'e' || s_[pos_ - 1] == 'E'))) {
        if (!isDigit(peek())) real = true;
        ++pos_;
      }
      // A binary literal: binary digits with a "b" suffix (1010b).
      std::string_view digits = s_.substr(start, pos_ - start);
      if (!digits.empty() && (digits[0] == '-' || digits[0] == '+')) digits.remove_prefix(1);
      if (!real && !digits.empty() && (peek() == 'b' || peek() == 'B') &&
          digits.find_first_not_of("01") == std::string_view::npos)
        ++pos_;
    }
    if (isIdentChar(peek())) fail("malformed number");
    return {real ? MofTokenKind::Real : MofTokenKind::Integer,
            std::string(s_.substr(start, pos_ - start)), line_};
  }

  std::string_view s_;
  const std::string& file_;
  size_t pos_ = 0;
  int line_ = 1;
  bool atLineStart_ = true;
};

}  // namespace

std::vector<MofToken> tokenizeMof(std::string_view text, const std::string& fileName) {
  return Lexer(text, fileName).run();
}

}  // namespace mgmt::cimom
