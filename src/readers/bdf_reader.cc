#include "readers/bdf_reader.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "gaiji/numbers.h"
#include "readers/text_lines.h"
#include "readers/wanted_glyphs.h"

namespace karvex {

namespace {

// BDF tokens are separated by blanks and line ends; a tab is part of a token.
constexpr std::string_view kDelimiters = " \r\n";

// How a reading ends. kEnd writes the footer; kStop writes nothing more.
enum class Outcome { kGoOn, kEnd, kStop };

class BdfReader {
 public:
  BdfReader(std::string_view text, const ReadOptions& options, GlyphStream* stream,
            std::string* err)
      : lines_(text), options_(options), stream_(stream), err_(err),
        wanted_(options.wanted), unicode_(options.start_unicode) {}

  bool Read() {
    Outcome outcome = Outcome::kGoOn;
    std::string_view line;
    // A failed output ends the work early; the caller reports it.
    while (outcome == Outcome::kGoOn && !stream_->failed() && lines_.Next(&line)) outcome = ReadLine(line);
    if (wanted_.active()) wanted_.Write(stream_, true);
    if (outcome == Outcome::kStop) return false;
    stream_->End();
    // An empty file, a PCF font or a cut download is no BDF font, not an empty one.
    if (!cell_.pixels && err_->empty()) *err_ = "no FONTBOUNDINGBOX line; not a BDF font";
    return err_->empty();
  }

 private:
  Outcome ReadLine(std::string_view line) {
    Tokens tokens(line, kDelimiters);
    std::string_view keyword;
    if (!tokens.Next(&keyword)) return Outcome::kGoOn;
    if (keyword == "CHARS") return ReadChars(&tokens);
    if (keyword == "FONTBOUNDINGBOX") return ReadFontBoundingBox(&tokens);
    if (keyword == "STARTCHAR") return StartChar();
    if (keyword == "ENCODING") return ReadEncoding(&tokens);
    if (keyword == "BBX") return ReadBbx(&tokens);
    if (keyword == "BITMAP") return ReadBitmap();
    if (keyword == "ENDFONT") return Outcome::kEnd;
    return Outcome::kGoOn;  // SIZE, properties, SWIDTH, DWIDTH, a stray ENDCHAR, ...
  }

  // Reads `count` number tokens after a keyword; false (and an error) if any is missing.
  bool NumberTokens(Tokens* tokens, std::string_view keyword, int count, int32_t* values) {
    std::string_view token;
    for (int i = 0; i < count; ++i) {
      if (!tokens->Next(&token)) {
        Fail(std::string(keyword) + " has too few values; reading ends here");
        return false;
      }
      values[i] = ScanDecimal(token);
    }
    return true;
  }

  Outcome ReadChars(Tokens* tokens) {
    int32_t count;  // the glyph count is not needed: ENDFONT or the file's end decide
    return NumberTokens(tokens, "CHARS", 1, &count) ? Outcome::kGoOn : Outcome::kEnd;
  }

  Outcome ReadFontBoundingBox(Tokens* tokens) {
    int32_t v[4];
    if (!NumberTokens(tokens, "FONTBOUNDINGBOX", 4, v)) return Outcome::kEnd;
    if (cell_.pixels) {
      Fail("second FONTBOUNDINGBOX");
      return Outcome::kStop;
    }
    box_height_ = v[1];
    box_x_ = v[2];
    // The box's y offset counts downward from the baseline whatever its sign.
    box_y_ = -std::abs(int64_t{v[3]});
    CellSize size = SizeClass(v[0], v[1], options_.forced_width, options_.forced_height);
    if (!CreateGlyphCell(size, &cell_)) {
      Fail("cannot make a " + std::to_string(size.width) + "x" + std::to_string(size.height) +
           " glyph cell");
      return Outcome::kEnd;
    }
    stream_->Begin(size);
    return Outcome::kGoOn;
  }

  Outcome StartChar() {
    glyph_width_ = 0;
    if (!cell_.pixels) return NoBoxYet("STARTCHAR");
    cell_.ClearGlyph();
    return Outcome::kGoOn;
  }

  Outcome ReadEncoding(Tokens* tokens) {
    return NumberTokens(tokens, "ENCODING", 1, &code_) ? Outcome::kGoOn : Outcome::kEnd;
  }

  Outcome ReadBbx(Tokens* tokens) {
    int32_t v[4];
    if (!NumberTokens(tokens, "BBX", 4, v)) return Outcome::kEnd;
    glyph_width_ = v[0];
    x_shift_ = int64_t{v[2]} - box_x_;
    // The cell row of the glyph's first bitmap row, measured with the font box's own
    // height rather than the cell's.
    row_offset_ = box_y_ + box_height_ - v[1] - v[3];
    return Outcome::kGoOn;
  }

  Outcome ReadBitmap() {
    uint32_t rows = 0;
    std::string_view line;
    while (lines_.Next(&line)) {
      if (line.substr(0, 7) == "ENDCHAR") return FinishGlyph();
      if (!cell_.pixels) return NoBoxYet("bitmap");
      // Rows past the cell height are ignored, whatever BBX says.
      if (rows < static_cast<uint32_t>(cell_.height)) PlaceRow(line, row_offset_ + rows++);
    }
    Fail("the file ends inside a bitmap");
    return Outcome::kEnd;
  }

  // Places one bitmap row on cell row `target`. The bits run on across row ends, and
  // the next row placed clears its own row first; writes stay inside the glyph rows.
  void PlaceRow(std::string_view line, int64_t target) {
    cell_.ClearRow(target);
    uint64_t width = std::min<uint64_t>(static_cast<uint32_t>(glyph_width_),
                                        static_cast<uint64_t>(cell_.width));
    uint64_t byte_count = (width + 7) / 8;
    int64_t area = cell_.area();
    // A negative x shift moves the glyph right as a positive one does.
    int64_t start = target * cell_.width + (x_shift_ < 0 ? -x_shift_ : x_shift_);
    for (uint64_t k = 0; k < byte_count; ++k) {
      int64_t p = start + int64_t(8 * k);
      if (p >= area) break;
      if (p < 0) continue;
      // A pair missing from a short row is background.
      uint32_t value = 0;
      if (2 * k < line.size()) ScanHexPair(line.substr(2 * k), &value);
      cell_.PlaceByte(p, value);
    }
  }

  Outcome FinishGlyph() {
    // A glyph not asked for needs no cell, even before FONTBOUNDINGBOX.
    if (wanted_.active() ? !wanted_.Wants(code_)
                         : code_ < options_.first_code || code_ > options_.last_code) {
      return Outcome::kGoOn;
    }
    if (!cell_.pixels) return NoBoxYet("bitmap");
    if (wanted_.active()) {  // written in the order of the characters, at the end
      wanted_.Keep(code_, cell_);
      return Outcome::kGoOn;
    }
    Glyph glyph;
    glyph.code = code_;
    glyph.unicode = glyph.map_unicode = unicode_;
    glyph.with_code = true;
    glyph.picture[0] = {cell_.pixels.get(), cell_.width, cell_.height};
    stream_->Put(&glyph);
    unicode_ = static_cast<int32_t>(static_cast<uint32_t>(unicode_) + 1);
    return Outcome::kGoOn;
  }

  Outcome NoBoxYet(std::string_view what) {
    Fail(std::string(what) + " before FONTBOUNDINGBOX");
    return Outcome::kStop;
  }

  void Fail(const std::string& message) {
    *err_ = "line " + std::to_string(lines_.number()) + ": " + message;
  }

  LineCursor lines_;
  const ReadOptions& options_;
  GlyphStream* stream_;
  std::string* err_;
  WantedGlyphs wanted_;
  GlyphCell cell_;
  int32_t box_height_ = 0;
  int64_t box_x_ = 0;
  int64_t box_y_ = 0;
  int32_t code_ = 0;
  int32_t glyph_width_ = 0;
  int64_t x_shift_ = 0;
  int64_t row_offset_ = 0;
  int32_t unicode_;
};

}  // namespace

void BdfCharset(std::string_view text, std::string* registry, std::string* encoding) {
  LineCursor lines(text);
  std::string_view line, keyword;
  while (lines.Next(&line)) {
    Tokens tokens(line, kDelimiters);
    if (!tokens.Next(&keyword)) continue;
    if (keyword == "STARTCHAR") break;
    std::string* value = keyword == "CHARSET_REGISTRY"   ? registry
                         : keyword == "CHARSET_ENCODING" ? encoding
                                                         : nullptr;
    std::string_view token;
    if (value && tokens.Next(&token)) {
      if (token.front() == '"') token.remove_prefix(1);
      if (!token.empty() && token.back() == '"') token.remove_suffix(1);
      *value = std::string(token);
    }
  }
}

bool ReadBdf(std::string_view text, const ReadOptions& options, GlyphStream* stream,
             std::string* err) {
  err->clear();
  return BdfReader(text, options, stream, err).Read();
}

}  // namespace karvex
