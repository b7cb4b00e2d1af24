#include "MofLexer.h"

#include "HostError.h"

#include <cctype>

namespace mgmt::cimom {
namespace {

bool IsIdentStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool IsIdentChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

class Lexer {
 public:
  Lexer(std::string_view text, const std::string& file) : s_(text), file_(file) {}

  std::vector<MofToken> Run() {
    std::vector<MofToken> out;
    for (;;) {
      SkipBlankAndComments();
      if (pos_ >= s_.size()) break;
      out.push_back(Token());
    }
    out.push_back(MofToken{MofTokenKind::kEnd, "", line_});
    return out;
  }

 private:
  [[noreturn]] void Fail(const std::string& what) { throw ConfigError(file_, line_, what); }

  char Peek(size_t ahead = 0) const { return pos_ + ahead < s_.size() ? s_[pos_ + ahead] : '\0'; }

  void SkipBlankAndComments() {
    while (pos_ < s_.size()) {
      char c = s_[pos_];
      if (c == '\n') {
        ++line_;
        ++pos_;
        atLineStart_ = true;
      } else if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
        ++pos_;
      } else if (c == '/' && Peek(1) == '/') {
        SkipToEndOfLine();
      } else if (c == '#' && atLineStart_) {
        SkipToEndOfLine();  // #pragma and friends: not part of the subset
      } else if (c == '/' && Peek(1) == '*') {
        int startLine = line_;
        pos_ += 2;
        while (pos_ < s_.size() && !(s_[pos_] == '*' && Peek(1) == '/')) {
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

  void SkipToEndOfLine() {
    while (pos_ < s_.size() && s_[pos_] != '\n') ++pos_;
  }

  MofToken Token() {
    atLineStart_ = false;
    char c = s_[pos_];
    if (IsIdentStart(c)) {
      size_t start = pos_;
      while (pos_ < s_.size() && IsIdentChar(s_[pos_])) ++pos_;
      return {MofTokenKind::kIdentifier, std::string(s_.substr(start, pos_ - start)), line_};
    }
    if (c == '"') return StringLiteral();
    if (c == '\'') return CharLiteral();
    if (IsDigit(c) || ((c == '-' || c == '+' || c == '.') && IsDigit(Peek(1)))) return Number();
    static constexpr std::string_view kPunct = "{}()[];,:=";
    if (kPunct.find(c) != std::string_view::npos) {
      ++pos_;
      return {MofTokenKind::kPunct, std::string(1, c), line_};
    }
    Fail(std::string("unexpected character '") + c + "'");
  }

  void Escape(std::string& out) {
    char e = Peek();
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
        while (digits < 2 && HexValue(Peek()) >= 0) {
          value = value * 16 + HexValue(Peek());
          ++pos_;
          ++digits;
        }
        if (digits == 0 || value == 0) Fail("bad \\x escape");
        out += static_cast<char>(value);
        break;
      }
      default:
        Fail("unknown escape in string");
    }
  }

  MofToken StringLiteral() {
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
        Escape(out);
      } else {
        out += c;
      }
    }
    return {MofTokenKind::kString, out, startLine};
  }

  MofToken CharLiteral() {
    ++pos_;
    std::string out;
    if (Peek() == '\\') {
      ++pos_;
      Escape(out);
    } else if (pos_ < s_.size() && s_[pos_] != '\'') {
      out += s_[pos_++];
    }
    if (Peek() != '\'') Fail("bad character literal");
    ++pos_;
    return {MofTokenKind::kString, out, line_};
  }

  MofToken Number() {
    size_t start = pos_;
    if (Peek() == '-' || Peek() == '+') ++pos_;
    bool real = false;
    if (Peek() == '0' && (Peek(1) == 'x' || Peek(1) == 'X')) {
      pos_ += 2;
      while (HexValue(Peek()) >= 0) ++pos_;
    } else {
      while (IsDigit(Peek()) || Peek() == '.' || Peek() == 'e' || Peek() == 'E' ||
             ((Peek() == '-' || Peek() == '+') && (s_[pos_ - 1] == 'e' || s_[pos_ - 1] == 'E'))) {
        if (!IsDigit(Peek())) real = true;
        ++pos_;
      }
      // A binary literal: binary digits with a "b" suffix (1010b).
      std::string_view digits = s_.substr(start, pos_ - start);
      if (!digits.empty() && (digits[0] == '-' || digits[0] == '+')) digits.remove_prefix(1);
      if (!real && !digits.empty() && (Peek() == 'b' || Peek() == 'B') &&
          digits.find_first_not_of("01") == std::string_view::npos)
        ++pos_;
    }
    if (IsIdentChar(Peek())) Fail("malformed number");
    return {real ? MofTokenKind::kReal : MofTokenKind::kInteger,
            std::string(s_.substr(start, pos_ - start)), line_};
  }

  std::string_view s_;
  const std::string& file_;
  size_t pos_ = 0;
  int line_ = 1;
  bool atLineStart_ = true;
};

}  // namespace

std::vector<MofToken> TokenizeMof(std::string_view text, const std::string& fileName) {
  return Lexer(text, fileName).Run();
}

}  // namespace mgmt::cimom
