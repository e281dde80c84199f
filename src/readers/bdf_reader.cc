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

// The first box row, over all glyphs of `text`, that holds ink (INT64_MAX: none).
int64_t FirstInkRow(std::string_view text, int64_t box_y, int32_t box_height) {
  LineCursor lines(text);
  std::string_view line, keyword, token;
  int64_t first = INT64_MAX, offset = 0;
  while (lines.Next(&line)) {
    Tokens tokens(line, kDelimiters);
    if (!tokens.Next(&keyword)) continue;
    if (keyword == "BBX") {
      int32_t v[4] = {0, 0, 0, 0};
      for (int32_t& value : v) value = tokens.Next(&token) ? ScanDecimal(token) : 0;
      offset = box_y + box_height - v[1] - v[3];
    } else if (keyword == "BITMAP") {
      for (int64_t row = offset; lines.Next(&line) && line.substr(0, 7) != "ENDCHAR"; ++row) {
        if (row < first && line.find_first_not_of("0 \r") != std::string_view::npos) first = row;
      }
    }
  }
  return first;
}

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
    // A cell of the font's own pixel size may hold what this one cuts (a font whose box is a
    // pixel taller than its size gets a cell of the next size up, and half its width).
    if (cut_ && cell_.pixels) {
      const CellSize own = SizeClass(box_width_, pixel_size_ > 0 ? pixel_size_ : box_height_, 0, 0);
      // The ink's rows as that cell would place them.
      const int64_t moved = top_shift_ - TopShift(own.height);
      if ((own.width != cell_.width || own.height != cell_.height) && ink_.top + moved >= 0 &&
          ink_.bottom + moved < own.height && ink_.right < own.width) {
        stream_->set_roomier(own);
      }
    }
    if (wanted_.active()) wanted_.Write(stream_, true);
    if (outcome == Outcome::kStop) return false;
    if (cell_.pixels && err_->empty()) SayCutShort();
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
    if (keyword == "ENDFONT") {
      end_line_ = lines_.number();
      return Outcome::kEnd;
    }
    if (keyword == "PIXEL_SIZE" || keyword == "SIZE") ReadSize(keyword, &tokens);
    return Outcome::kGoOn;  // properties, SWIDTH, DWIDTH, a stray ENDCHAR, ...
  }

  // The font's own size in pixels, which a cut note may suggest as the cell's height:
  // PIXEL_SIZE, or else SIZE's points at its vertical resolution.
  void ReadSize(std::string_view keyword, Tokens* tokens) {
    std::string_view value[3];
    int n = 0;
    while (n < 3 && tokens->Next(&value[n])) ++n;
    if (keyword == "PIXEL_SIZE" && n >= 1) {
      pixel_size_ = ScanDecimal(value[0]);
    } else if (keyword == "SIZE" && n == 3 && pixel_size_ <= 0) {
      pixel_size_ = int32_t((int64_t{ScanDecimal(value[0])} * ScanDecimal(value[2]) + 36) / 72);
    }
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
    // ENDFONT or the file's end decide where the glyphs end; the count only says whether
    // some are missing.
    return NumberTokens(tokens, "CHARS", 1, &chars_) ? Outcome::kGoOn : Outcome::kEnd;
  }

  // A font without ENDFONT, or with fewer glyphs than its CHARS line gives, was cut short
  // (a download or a copy that stopped): the run says where it ended.
  void SayCutShort() {
    const std::string of = chars_ >= 0 ? " of the " + std::to_string(chars_) + " its CHARS line gives"
                                       : "";
    const std::string glyphs = std::to_string(glyphs_) + (glyphs_ == 1 ? " glyph" : " glyphs");
    if (end_line_ == 0) {
      stream_->Note("the font stops at line " + std::to_string(lines_.number()) +
                    " without ENDFONT, after " + glyphs + of);
    } else if (glyphs_ < chars_) {
      stream_->Note("ENDFONT at line " + std::to_string(end_line_) + " comes after " + glyphs + of);
    }
  }

  Outcome ReadFontBoundingBox(Tokens* tokens) {
    int32_t v[4];
    if (!NumberTokens(tokens, "FONTBOUNDINGBOX", 4, v)) return Outcome::kEnd;
    if (cell_.pixels) {
      Fail("second FONTBOUNDINGBOX");
      return Outcome::kStop;
    }
    box_width_ = v[0];
    box_height_ = v[1];
    box_x_ = v[2];
    // The box's y offset counts downward from the baseline whatever its sign.
    box_y_ = -std::abs(int64_t{v[3]});
    CellSize size = SizeClass(v[0], v[1], options_.forced_width, options_.forced_height);
    box_text_ = lines_.rest();
    top_shift_ = TopShift(size.height);
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
    glyph_cut_ = 0;
    glyph_ink_ = InkExtent();
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
    row_offset_ = box_y_ + box_height_ - v[1] - v[3] - top_shift_;
    return Outcome::kGoOn;
  }

  Outcome ReadBitmap() {
    int64_t rows = 0;
    std::string_view line;
    while (lines_.Next(&line)) {
      if (line.substr(0, 7) == "ENDCHAR") return FinishGlyph();
      if (!cell_.pixels) return NoBoxYet("bitmap");
      // Every row counts, whatever BBX says; those outside the cell are cut.
      PlaceRow(line, row_offset_ + rows++);
    }
    Fail("the file ends inside a bitmap");
    return Outcome::kEnd;
  }

  // Places one bitmap row on cell row `target`; ink that falls outside the cell is cut, and
  // said as such.
  void PlaceRow(std::string_view line, int64_t target) {
    const uint64_t byte_count = std::min<uint64_t>((uint64_t(uint32_t(glyph_width_)) + 7) / 8,
                                                   (line.size() + 1) / 2);
    // A negative x shift moves the glyph right as a positive one does.
    const int64_t shift = x_shift_ < 0 ? -x_shift_ : x_shift_;
    const bool in_cell = target >= 0 && target < cell_.height;
    for (uint64_t k = 0; k < byte_count; ++k) {
      uint32_t value = 0;  // a pair missing from a short row is background
      ScanHexPair(line.substr(2 * k), &value);
      if ((value &= 0xFF) == 0) continue;
      const int64_t first = shift + int64_t(8 * k);  // the cell column of the byte's first bit
      glyph_ink_.Add(target, first + 7 - __builtin_ctz(value));
      if (!in_cell) {
        glyph_cut_ |= target < 0 ? kCutTop : kCutBottom;
        continue;
      }
      if (first + 8 > cell_.width) {  // bits past the right edge are cut off
        const int64_t room = std::max<int64_t>(0, cell_.width - first);
        if (room < 8 && (value & (0xFFu >> room))) glyph_cut_ |= kCutRight;
        value &= room >= 8 ? 0xFFu : ~(0xFFu >> room) & 0xFF;
        if (value == 0) continue;
      }
      cell_.PlaceByte(target * cell_.width + first, value);
    }
  }

  // Where ink lies in cell rows and columns, in the cell or not (it never lies left of it).
  struct InkExtent {
    int64_t top = INT64_MAX, bottom = INT64_MIN, right = INT64_MIN;
    void Add(int64_t row, int64_t last_column) {
      top = std::min(top, row);
      bottom = std::max(bottom, row);
      right = std::max(right, last_column);
    }
    void Add(const InkExtent& other) {
      top = std::min(top, other.top);
      bottom = std::max(bottom, other.bottom);
      right = std::max(right, other.right);
    }
  };

  // A box taller than a cell of `height` rows moves up by as many of its top rows as hold
  // no ink in any glyph of the font (a box a row taller than its size, with a top row
  // always blank, fits a cell of its size).
  int64_t TopShift(int32_t height) {
    if (box_height_ <= height) return 0;
    if (first_ink_row_ == kUnknown) first_ink_row_ = FirstInkRow(box_text_, box_y_, box_height_);
    return std::clamp<int64_t>(first_ink_row_, 0, int64_t{box_height_} - height);
  }

  Outcome FinishGlyph() {
    ++glyphs_;
    // A glyph not asked for needs no cell, even before FONTBOUNDINGBOX.
    if (wanted_.active() ? !wanted_.Wants(code_)
                         : code_ < options_.first_code || code_ > options_.last_code) {
      return Outcome::kGoOn;
    }
    if (!cell_.pixels) return NoBoxYet("bitmap");
    ink_.Add(glyph_ink_);
    cut_ |= glyph_cut_ != 0;
    if (wanted_.active()) {  // written in the order of the characters, at the end
      wanted_.Keep(code_, cell_, glyph_cut_);
      return Outcome::kGoOn;
    }
    Glyph glyph;
    glyph.code = code_;
    glyph.unicode = glyph.map_unicode = unicode_;
    glyph.with_code = true;
    glyph.picture[0] = {cell_.pixels.get(), cell_.width, cell_.height, glyph_cut_};
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
  int32_t box_width_ = 0;
  int32_t box_height_ = 0;
  int32_t pixel_size_ = 0;
  int64_t box_x_ = 0;
  int64_t box_y_ = 0;
  int32_t code_ = 0;
  int32_t glyph_width_ = 0;
  int64_t x_shift_ = 0;
  int64_t row_offset_ = 0;
  int64_t top_shift_ = 0;   // box rows above the cell's first row
  std::string_view box_text_;  // the font from its FONTBOUNDINGBOX line on
  static constexpr int64_t kUnknown = INT64_MIN;
  int64_t first_ink_row_ = kUnknown;
  int32_t unicode_;
  int32_t chars_ = -1;      // CHARS; -1 without the line
  int64_t glyphs_ = 0;      // glyphs that reached ENDCHAR
  int64_t end_line_ = 0;    // the line of ENDFONT, 0 before it
  uint8_t glyph_cut_ = 0;   // CutEdge bits of the glyph being read
  InkExtent glyph_ink_;
  InkExtent ink_;           // of the glyphs written
  bool cut_ = false;        // a glyph written lost ink to the cell
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
