#include "readers/hex_reader.h"

#include <cstdint>

#include "gaiji/numbers.h"
#include "readers/text_lines.h"
#include "readers/wanted_glyphs.h"

namespace karvex {

namespace {

// Glyph state that runs on from line to line.
struct HexState {
  int32_t eb;
  int32_t code = 0;            // a line whose code has no digit keeps the previous code
  uint32_t last_byte = 0;      // a bitmap pair without a digit repeats the last byte read
};

// Lines of nothing but blanks, tabs, line ends and colons carry no glyph.
bool IsBlankLine(std::string_view line) {
  return line.find_first_not_of(" \t\r\n:") == std::string_view::npos;
}

// Decodes the bitmap text as one bit stream over the cell's pixels in row-major order,
// with no padding at row ends.
void FillCell(std::string_view bitmap, GlyphCell* cell, uint32_t* last_byte) {
  size_t pairs = bitmap.size() / 2;  // an odd last character is ignored
  for (size_t i = 0; i < pairs; ++i) {
    // The pair is read from its position on, so leading blanks are skipped past it.
    ScanHexPair(bitmap.substr(2 * i), last_byte);
    cell->PlaceByte(int64_t(i) * 8, *last_byte);
  }
}

void ReadGlyphLine(std::string_view line, GlyphCell* cell, HexState* state,
                   WantedGlyphs* wanted, GaijiWriter* writer) {
  // The code is the text up to the first colon after any leading colons.
  size_t code_start = line.find_first_not_of(':');
  size_t colon = line.find(':', code_start);
  ScanHexInto(line.substr(code_start, colon - code_start), &state->code);
  std::string_view bitmap;
  if (colon != std::string_view::npos) {
    bitmap = line.substr(colon + 1);
    size_t end = 0;
    while (end < bitmap.size() && bitmap[end] != '\r' && bitmap[end] != '\n') ++end;
    bitmap = bitmap.substr(0, end);
  }
  cell->ClearGlyph();
  FillCell(bitmap, cell, &state->last_byte);
  if (wanted->active()) {  // written in the order of the characters, at the end
    wanted->Keep(state->code, *cell);
    return;
  }
  writer->GlyphOpening(state->eb, state->code);
  writer->CellRows(*cell);
  writer->GlyphClosing();
  writer->MapEntry(state->code, state->eb);
  state->eb = NextEbCode(state->eb);
}

}  // namespace

bool ReadHex(std::string_view text, const ReadOptions& options, GaijiWriter* writer,
             std::string* err) {
  LineCursor lines(text);
  std::string_view line;
  if (!lines.Next(&line)) {
    if (options.header) writer->Footer();
    *err = "empty file";
    return false;
  }
  // The size line: the first token is the nominal size; a second must follow.
  Tokens tokens(line, " \r\n");
  std::string_view size_token, second;
  if (!tokens.Next(&size_token) || !tokens.Next(&second)) {
    *err = "line 1: the size line needs two values";
    return false;
  }
  int32_t nominal = ScanDecimal(size_token);
  CellSize size = SizeClass(nominal, nominal, options.forced_width, options.forced_height);
  GlyphCell cell;
  if (!CreateGlyphCell(size, &cell)) {
    if (options.header) writer->Footer();
    *err = "cannot make a " + std::to_string(size.width) + "x" + std::to_string(size.height) +
           " glyph cell";
    return false;
  }
  if (options.header) writer->Header(size.width, size.height, options.start_eb);
  HexState state{options.start_eb};
  WantedGlyphs wanted(options.wanted);
  while (!writer->failed() && lines.Next(&line)) {
    if (!IsBlankLine(line)) ReadGlyphLine(line, &cell, &state, &wanted, writer);
  }
  if (wanted.active()) wanted.Write(writer, false, &state.eb, options.missing);
  if (options.header) writer->Footer();
  err->clear();
  return true;
}

}  // namespace karvex
