// Runs a reader on in-memory text and keeps what it wrote.
#ifndef KARVEX_TESTS_READER_TEST_UTIL_H_
#define KARVEX_TESTS_READER_TEST_UTIL_H_

#include <string>
#include <string_view>
#include <vector>

#include "gaiji/gaiji_writer.h"
#include "readers/read_options.h"

namespace karvex {

struct ReaderOutput {
  bool ok;
  std::string err;
  std::string out;
  std::string map;
};

using ReaderFn = bool (*)(std::string_view, const ReadOptions&, GaijiWriter*, std::string*);

inline ReaderOutput RunReader(ReaderFn reader, std::string_view text,
                              const ReadOptions& options = {}, char off_char = ' ') {
  OutputStream out, map;
  GaijiWriter writer(&out, &map, off_char);
  ReaderOutput result;
  result.ok = reader(text, options, &writer, &result.err);
  result.out = out.text();
  result.map = map.text();
  return result;
}

/// A glyph block: the opening line, then the rows, each given as text art.
inline std::string Block(const std::string& opening, const std::vector<std::string>& rows) {
  std::string text = opening + "\n";
  for (const std::string& row : rows) text += row + "\n";
  return text + "</fontData>\n";
}

/// `count` rows of `width` blanks.
inline std::vector<std::string> BlankRows(int width, int count) {
  return std::vector<std::string>(count, std::string(width, ' '));
}

}  // namespace karvex

#endif  // KARVEX_TESTS_READER_TEST_UTIL_H_
