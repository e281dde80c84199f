// Line and token walking shared by the glyph file readers.
#ifndef KARVEX_READERS_TEXT_LINES_H_
#define KARVEX_READERS_TEXT_LINES_H_

#include <cstdint>
#include <string_view>

namespace karvex {

/// Walks text line by line without copying. A line ends at LF, which is not part of it
/// (a CR stays). As in C string handling, a NUL byte ends the line's text; the rest of
/// that line is dropped.
class LineCursor {
 public:
  explicit LineCursor(std::string_view text)
      : rest_(text), has_nul_(text.find('\0') != std::string_view::npos) {}
  /// False at the end of the text.
  bool Next(std::string_view* line) {
    if (rest_.empty()) return false;
    size_t end = rest_.find('\n');
    std::string_view whole = rest_.substr(0, end);
    rest_.remove_prefix(end == std::string_view::npos ? rest_.size() : end + 1);
    // Text without any NUL byte, the usual case, needs no search per line.
    *line = has_nul_ ? whole.substr(0, whole.find('\0')) : whole;
    ++number_;
    return true;
  }
  /// The text after the line last returned.
  std::string_view rest() const { return rest_; }
  /// 1-based number of the line last returned.
  int64_t number() const { return number_; }

 private:
  std::string_view rest_;
  bool has_nul_;
  int64_t number_ = 0;
};

/// Splits text into tokens as strtok does: runs of delimiter characters separate them.
class Tokens {
 public:
  Tokens(std::string_view text, std::string_view delimiters) : rest_(text) {
    for (char c : delimiters) {
      delimiters_[static_cast<uint8_t>(c) >> 6] |= uint64_t{1} << (static_cast<uint8_t>(c) & 63);
    }
  }
  /// False when no token is left.
  bool Next(std::string_view* token) {
    size_t start = 0;
    while (start < rest_.size() && IsDelimiter(rest_[start])) ++start;
    if (start == rest_.size()) return false;
    size_t end = start + 1;
    while (end < rest_.size() && !IsDelimiter(rest_[end])) ++end;
    *token = rest_.substr(start, end - start);
    rest_.remove_prefix(end);
    return true;
  }

 private:
  bool IsDelimiter(char c) const {
    uint8_t u = static_cast<uint8_t>(c);
    return (delimiters_[u >> 6] >> (u & 63)) & 1;
  }

  std::string_view rest_;
  uint64_t delimiters_[4] = {};
};

}  // namespace karvex

#endif  // KARVEX_READERS_TEXT_LINES_H_
