// The glyphs of a run on their way from a source (.hex file, BDF font, face) to the
// outputs (text art and map, BMP files, FreePWING files, proof sheet): every source hands
// each glyph to a GlyphStream, which numbers it and gives it to every output.
#ifndef KARVEX_GAIJI_GLYPH_STREAM_H_
#define KARVEX_GAIJI_GLYPH_STREAM_H_

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "gaiji/glyph_cell.h"

namespace karvex {

/// The edges of a cell past which a picture lost ink.
enum CutEdge : uint8_t { kCutTop = 1, kCutBottom = 2, kCutLeft = 4, kCutRight = 8 };

/// A glyph's picture: one byte per pixel (1 = ink, 0 = background), rows top first.
struct Bitmap {
  const uint8_t* pixels = nullptr;
  int32_t width = 0;
  int32_t height = 0;
  uint8_t cut = 0;  ///< CutEdge bits: where the cell cut ink off the picture
};

/// A glyph has a picture at the run's cell and, for a FreePWING book, one per height.
constexpr int kMaxPictures = 4;

struct Glyph {
  int32_t code = 0;         ///< the font's own code, which BDF blocks name
  int32_t unicode = 0;      ///< the block's Unicode value; files are named after it
  int32_t map_unicode = 0;  ///< the map entry's Unicode value
  int32_t eb = 0;           ///< EB code: the stream gives it
  bool with_code = false;   ///< the block names `code`
  bool missing = false;     ///< a face's missing-glyph box: the face has no glyph for the code
  int face = 0;             ///< who drew it: 0 the source, k the k-th fallback face
  int pictures = 1;
  Bitmap picture[kMaxPictures];
  /// True when a cell cut ink off any picture.
  bool cut() const {
    for (int i = 0; i < pictures; ++i) {
      if (picture[i].cut) return true;
    }
    return false;
  }
};

/// The first thing that went wrong in a run: what it concerns, and why.
struct Failure {
  std::string name;
  std::string reason;
  bool happened() const { return !reason.empty(); }
  void Set(const std::string& what, const std::string& why) {
    if (!happened()) *this = Failure{what, why};
  }
};

/// How many codes of a list a note on standard error names.
constexpr size_t kNamedCodes = 10;

/// A list of codes as a note names it: how many, and the lowest kNamedCodes of them, in
/// memory that does not grow with the list (a whole plane of codes a face lacks).
struct CodeTally {
  int64_t count = 0;
  std::vector<uint32_t> lowest;  ///< ascending
  void Add(uint32_t code);
  bool empty() const { return count == 0; }
};

/// What a run writes, fed glyph by glyph.
class GlyphOutput {
 public:
  virtual ~GlyphOutput() = default;
  /// The cell is known, before the first glyph (the moment of the XML header).
  virtual void Begin(CellSize /*cell*/, int32_t /*start_eb*/) {}
  virtual void Put(const Glyph& glyph) = 0;
  /// The source ended its output (the moment of the XML footer); a source that stops
  /// at once does not call it.
  virtual void End() {}
  /// The run is over, however it ended; `lacking` holds the characters it lacked.
  virtual void Finish(const std::vector<uint32_t>& /*lacking*/) {}
  /// True once the output failed so that nothing more can reach it: the sources stop.
  virtual bool failed() const { return false; }
};

/// Numbers the glyphs of a run with EB codes and hands them to its outputs.
class GlyphStream {
 public:
  GlyphStream(int32_t start_eb, std::vector<GlyphOutput*> outputs)
      : start_eb_(start_eb), eb_(start_eb), outputs_(std::move(outputs)) {}

  void Begin(CellSize cell);
  /// Gives the glyph the next EB code and writes it to every output.
  void Put(Glyph* glyph);
  /// A character the source lacks (or draws cut) has a chance to come from elsewhere:
  /// true when `substitute` put a glyph in its place.
  bool Substitute(Glyph* glyph) { return substitute && substitute(glyph); }
  /// A character of a code set that the run lacks; `cut` is its only glyph, which a cell
  /// cut, or null.
  void Lack(uint32_t character, const Glyph* cut);
  void End();
  /// True once an output failed for good: the sources stop.
  bool failed() const;

  /// Where the EB codes first left A121..FE7E: the glyph's number (from 1), its Unicode
  /// value and EB code; number 0 when they never did.
  struct Departure {
    int64_t glyph = 0;
    int32_t unicode = 0;
    int32_t eb = 0;
  };

  /// The glyphs whose picture `i` a cell cut, and at which edges (CutEdge bits).
  struct Cuts {
    CodeTally codes;
    uint8_t edges = 0;
  };

  /// The run's cell, once known.
  const CellSize& cell() const { return cell_; }
  const std::vector<uint32_t>& lacking() const { return lacking_; }
  /// The characters the run wrote cut or lacked because a cell cuts them, by picture.
  const Cuts& cuts(int picture) const { return cuts_[picture]; }
  /// The codes written as a face's missing-glyph box.
  const CodeTally& missing() const { return missing_; }
  const Departure& departure() const { return departure_; }
  /// A cell of the font's own size that would hold every glyph the run cut (0 x 0: none).
  const CellSize& roomier() const { return roomier_; }
  void set_roomier(CellSize cell) { roomier_ = cell; }
  /// Something about the source the run says on standard error without failing (a font cut
  /// short), one line each.
  void Note(std::string text) { notes_.push_back(std::move(text)); }
  const std::vector<std::string>& notes() const { return notes_; }

  /// Draws a character from elsewhere (the fallback faces), putting the glyph itself.
  std::function<bool(Glyph*)> substitute;

 private:
  int32_t start_eb_;
  int32_t eb_;
  std::vector<GlyphOutput*> outputs_;
  CellSize cell_{0, 0};
  int64_t glyphs_ = 0;
  std::vector<uint32_t> lacking_;
  Cuts cuts_[kMaxPictures];
  CodeTally missing_;
  Departure departure_;
  CellSize roomier_{0, 0};
  std::vector<std::string> notes_;

  void CountCuts(const Glyph& glyph, uint32_t character);
};

/// True for the codes an EB book can hold: high byte A1..FE, low byte 21..7E.
bool IsEbCode(int32_t code);

}  // namespace karvex

#endif  // KARVEX_GAIJI_GLYPH_STREAM_H_
