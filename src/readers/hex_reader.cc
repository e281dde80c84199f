#include "readers/hex_reader.h"

#include <algorithm>
#include <cstdint>

#include "gaiji/numbers.h"
#include "readers/text_lines.h"
#include "readers/wanted_glyphs.h"

namespace karvex {

namespace {

// Glyph state that runs on from line to line.
struct HexState {
  int32_t code = 0;            // a line whose code has no digit keeps the previous code
  uint32_t last_byte = 0;      // a bitmap pair without a digit repeats the last byte read
  int64_t last_ink = -1;       // the last pixel with ink of the glyphs written, cell or not
  bool cut = false;            // a glyph written lost ink past the cell's last pixel
};

// Lines of nothing but blanks, tabs, line ends and colons carry no glyph.
bool IsBlankLine(std::string_view line) {
  return line.find_first_not_of(" \t\r\n:") == std::string_view::npos;
}

// Decodes the bitmap text as one bit stream over the cell's pixels in row-major order,
// with no padding at row ends. Returns the index of the last pixel with ink, in the cell or
// past it (-1: none).
int64_t FillCell(std::string_view bitmap, GlyphCell* cell, uint32_t* last_byte) {
  size_t pairs = bitmap.size() / 2;  // an odd last character is ignored
  int64_t last_ink = -1;
  for (size_t i = 0; i < pairs; ++i) {
    // The pair is read from its position on, so leading blanks are skipped past it.
    ScanHexPair(bitmap.substr(2 * i), last_byte);
    cell->PlaceByte(int64_t(i) * 8, *last_byte);
    if (*last_byte & 0xFF) last_ink = int64_t(i) * 8 + 7 - __builtin_ctz(*last_byte & 0xFF);
  }
  return last_ink;
}

// `open_end`: the line is the file's last and has no line end, as when a copy stopped.
void ReadGlyphLine(std::string_view line, bool open_end, int64_t number, GlyphCell* cell,
                   HexState* state, WantedGlyphs* wanted, GlyphStream* stream) {
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
  const int64_t last_ink = FillCell(bitmap, cell, &state->last_byte);
  // A last line without its line end that stops short of its glyph's digits was cut off:
  // said, and in a set its character lacks rather than get half a glyph.
  const uint64_t digits = (uint64_t(cell->area()) + 3) / 4;
  if (open_end && bitmap.size() < digits) {
    stream->Note("line " + std::to_string(number) + ": the file ends after " +
                 std::to_string(bitmap.size()) + " of the " + std::to_string(digits) +
                 " digits of its glyph");
    if (wanted->active()) return;
  }
  if (wanted->active() && !wanted->Wants(state->code)) return;
  // Bits past the cell's last pixel are ink the cell cuts off at its bottom.
  const uint8_t cut = last_ink >= cell->area() ? kCutBottom : 0;
  state->last_ink = std::max(state->last_ink, last_ink);
  state->cut |= cut != 0;
  if (wanted->active()) {  // written in the order of the characters, at the end
    wanted->Keep(state->code, *cell, cut);
    return;
  }
  Glyph glyph;
  glyph.code = glyph.unicode = glyph.map_unicode = state->code;
  glyph.picture[0] = {cell->pixels.get(), cell->width, cell->height, cut};
  stream->Put(&glyph);
}

}  // namespace

bool ReadHex(std::string_view text, const ReadOptions& options, GlyphStream* stream,
             std::string* err) {
  LineCursor lines(text);
  std::string_view line;
  if (!lines.Next(&line)) {
    stream->End();
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
    stream->End();
    *err = "cannot make a " + std::to_string(size.width) + "x" + std::to_string(size.height) +
           " glyph cell";
    return false;
  }
  stream->Begin(size);
  HexState state;
  WantedGlyphs wanted(options.wanted);
  while (!stream->failed() && lines.Next(&line)) {
    const bool open_end = lines.rest().empty() && text.back() != '\n';
    if (!IsBlankLine(line)) {
      ReadGlyphLine(line, open_end, lines.number(), &cell, &state, &wanted, stream);
    }
  }
  // A cell forced smaller than the file's own may cut glyphs that the file's cell holds.
  const CellSize own = SizeClass(nominal, nominal, 0, 0);
  if (state.cut && (own.width != size.width || own.height != size.height) &&
      state.last_ink < int64_t{own.width} * own.height) {
    stream->set_roomier(own);
  }
  if (wanted.active()) wanted.Write(stream, false);
  stream->End();
  err->clear();
  return true;
}

}  // namespace karvex
