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
  explicit LineCursor(std::string_view text) : rest_(text) {}
  /// False at the end of the text.
  bool Next(std::string_view* line) {
    if (rest_.empty()) return false;
    size_t end = rest_.find('\n');
    std::string_view whole = rest_.substr(0, end);
    rest_.remove_prefix(end == std::string_view::npos ? rest_.size() : end + 1);
    *line = whole.substr(0, whole.find('\0'));
    ++number_;
    return true;
  }
  /// 1-based number of the line last returned.
  int64_t number() const { return number_; }

 private:
  std::string_view rest_;
  int64_t number_ = 0;
};

/// Splits text into tokens as strtok does: runs of delimiter characters separate them.
class Tokens {
 public:
  Tokens(std::string_view text, std::string_view delimiters)
      : rest_(text), delimiters_(delimiters) {}
  /// False when no token is left.
  bool Next(std::string_view* token) {
    size_t start = rest_.find_first_not_of(delimiters_);
    if (start == std::string_view::npos) return false;
    rest_.remove_prefix(start);
    size_t end = rest_.find_first_of(delimiters_);
    *token = rest_.substr(0, end);
    rest_.remove_prefix(end == std::string_view::npos ? rest_.size() : end);
    return true;
  }

 private:
  std::string_view rest_;
  std::string_view delimiters_;
};

}  // namespace karvex

#endif  // KARVEX_READERS_TEXT_LINES_H_
