// What the fuzz targets hold every run to, beyond not crashing: the shape of the gaiji
// text and map file, and counters that agree between them.
#ifndef KARVEX_FUZZ_FUZZ_CHECK_H_
#define KARVEX_FUZZ_FUZZ_CHECK_H_

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "gaiji/glyph_cell.h"

namespace karvex {
namespace fuzz {

/// Stops the run with a message when a rule is broken; libFuzzer keeps the input.
#define FUZZ_CHECK(condition)                                                        \
  do {                                                                               \
    if (!(condition)) {                                                              \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                  \
    }                                                                                \
  } while (0)

inline constexpr std::string_view kDeclaration =
    "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>";

/// Cuts text into lines at LF; the text must end with a line end unless it is empty.
inline std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  FUZZ_CHECK(text.empty() || text.back() == '\n');
  while (!text.empty()) {
    size_t end = text.find('\n');
    lines.push_back(text.substr(0, end));
    text.remove_prefix(end + 1);
  }
  return lines;
}

/// Reads `"<prefix>%X<suffix>"` with upper-case digits and no leading zero: the whole
/// attribute text as the writer prints it. False when the line is not of that shape.
inline bool TakeHex(std::string_view* line, std::string_view prefix, uint32_t* value) {
  if (line->substr(0, prefix.size()) != prefix) return false;
  line->remove_prefix(prefix.size());
  size_t n = 0;
  uint64_t v = 0;
  for (; n < line->size() && n < 9; ++n) {
    char c = (*line)[n];
    int d = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    if (d < 0) break;
    v = v * 16 + uint64_t(d);
  }
  if (n == 0 || n > 8) return false;
  *value = uint32_t(v);
  line->remove_prefix(n);
  return true;
}

struct GlyphBlock {
  bool has_code;
  uint32_t code, eb, unicode;
  size_t rows;
  size_t width;  ///< length of every row (0 when there are no rows)
};

/// Standard output of a run, taken apart; any line out of place breaks a check.
struct GaijiText {
  bool header = false;
  bool footer = false;
  std::string size;  ///< the fontSet's size attribute, "WxH"
  uint32_t start = 0;
  std::vector<GlyphBlock> blocks;
};

inline bool ParseOpening(std::string_view line, GlyphBlock* block) {
  block->has_code = line.substr(0, 15) == "<fontData code=";
  if (block->has_code) {
    if (!TakeHex(&line, "<fontData code=\"", &block->code)) return false;
    if (!TakeHex(&line, "\"  ebcode=\"", &block->eb)) return false;
  } else if (!TakeHex(&line, "<fontData ebcode=\"", &block->eb)) {
    return false;
  }
  return TakeHex(&line, "\" unicode=\"", &block->unicode) && line == "\">";
}

/// Checks standard output line by line: an optional header, glyph blocks whose rows
/// hold only `off_char` and "#" and have one width, an optional footer, nothing else.
/// `off_char` must not be a line end.
inline GaijiText CheckGaijiText(std::string_view out, char off_char) {
  GaijiText text;
  std::vector<std::string_view> lines = Lines(out);
  size_t i = 0;
  if (!lines.empty() && lines[0] == kDeclaration) {
    FUZZ_CHECK(lines.size() >= 3 && lines[1] == "<gaijiData xml:space=\"preserve\">");
    std::string_view set = lines[2];
    FUZZ_CHECK(set.substr(0, 15) == "<fontSet size=\"");
    set.remove_prefix(15);
    size_t quote = set.find('"');
    FUZZ_CHECK(quote != std::string_view::npos);
    text.size = std::string(set.substr(0, quote));
    set.remove_prefix(quote);
    FUZZ_CHECK(TakeHex(&set, "\" start=\"", &text.start) && set == "\">");
    text.header = true;
    i = 3;
  }
  while (i < lines.size() && lines[i].substr(0, 9) == "<fontData") {
    GlyphBlock block{};
    FUZZ_CHECK(ParseOpening(lines[i], &block));
    for (++i; i < lines.size() && lines[i] != "</fontData>"; ++i) {
      for (char c : lines[i]) FUZZ_CHECK(c == off_char || c == '#');
      FUZZ_CHECK(block.rows == 0 || lines[i].size() == block.width);
      block.width = lines[i].size();
      ++block.rows;
    }
    FUZZ_CHECK(i < lines.size());  // every block is closed
    ++i;
    if (!text.blocks.empty()) {
      FUZZ_CHECK(block.rows == text.blocks[0].rows);
      FUZZ_CHECK(block.rows == 0 || block.width == text.blocks[0].width);
    }
    text.blocks.push_back(block);
  }
  if (i + 2 == lines.size() && lines[i] == "</fontSet>" && lines[i + 1] == "</gaijiData>") {
    text.footer = true;
    i += 2;
  }
  FUZZ_CHECK(i == lines.size());
  return text;
}

struct MapEntry {
  uint32_t unicode, eb;
};

struct MapText {
  bool header = false;
  bool footer = false;
  std::vector<MapEntry> entries;
};

inline bool TakeHex4(std::string_view* line, std::string_view prefix, uint32_t* value) {
  // "%04X": at least four digits, zero-padded.
  if (line->substr(0, prefix.size()) != prefix) return false;
  std::string_view rest = line->substr(prefix.size());
  size_t n = 0;
  while (n < rest.size() && ((rest[n] >= '0' && rest[n] <= '9') || (rest[n] >= 'A' && rest[n] <= 'F'))) ++n;
  if (n < 4 || n > 8 || (n > 4 && rest[0] == '0')) return false;
  *value = uint32_t(std::stoul(std::string(rest.substr(0, n)), nullptr, 16));
  line->remove_prefix(prefix.size() + n);
  return true;
}

/// Checks a gaiji map file: an optional header, map entries, an optional footer.
inline MapText CheckMapText(std::string_view map) {
  MapText text;
  std::vector<std::string_view> lines = Lines(map);
  size_t i = 0;
  if (!lines.empty() && lines[0] == kDeclaration) {
    FUZZ_CHECK(lines.size() >= 2 && lines[1] == "<gaijiSet>");
    text.header = true;
    i = 2;
  }
  for (; i < lines.size() && lines[i] != "</gaijiSet>"; ++i) {
    std::string_view line = lines[i];
    MapEntry entry;
    FUZZ_CHECK(TakeHex4(&line, "<gaijiMap unicode=\"#x", &entry.unicode));
    FUZZ_CHECK(TakeHex4(&line, "\" ebcode=\"", &entry.eb));
    FUZZ_CHECK(line == "\"/>");
    text.entries.push_back(entry);
  }
  if (i + 1 == lines.size()) {
    text.footer = true;
    ++i;
  }
  FUZZ_CHECK(i == lines.size());
  return text;
}

/// The glyph blocks and map entries of one run pair up: same EB codes and Unicode values,
/// EB codes in sequence from `start_eb`.
inline void CheckBlocksMatchMap(const GaijiText& out, const MapText* map, int32_t start_eb) {
  int32_t eb = start_eb;
  for (size_t k = 0; k < out.blocks.size(); ++k) {
    FUZZ_CHECK(out.blocks[k].eb == uint32_t(eb));
    if (map) {
      FUZZ_CHECK(k < map->entries.size());
      FUZZ_CHECK(map->entries[k].eb == uint32_t(eb));
      FUZZ_CHECK(map->entries[k].unicode == out.blocks[k].unicode);
    }
    eb = NextEbCode(eb);
  }
  if (map) FUZZ_CHECK(map->entries.size() == out.blocks.size());
}

}  // namespace fuzz
}  // namespace karvex

#endif  // KARVEX_FUZZ_FUZZ_CHECK_H_
