// Gaiji for an EPUB book: each glyph as a 2-colour PNG image with a transparent background,
// DIR/gaiji-uXXXX.png, and the style sheet DIR/gaiji.css that sizes the images as text.
#ifndef KARVEX_GAIJI_EPUB_IMAGES_H_
#define KARVEX_GAIJI_EPUB_IMAGES_H_

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "gaiji/epub_chapter.h"
#include "gaiji/glyph_stream.h"
#include "gaiji/output_stream.h"

namespace karvex {

/// The class of a full-width image, an em square, and of a half-width one, an em high.
constexpr char kGaijiFullClass[] = "gaiji";
constexpr char kGaijiHalfClass[] = "gaiji-wide";

/// The style sheet of the classes: their size, and their alignment in horizontal text and
/// in vertical text (under an element of class "vrtl").
extern const char kGaijiCss[];

/// The name of a character's image: "gaiji-u", its code in upper-case hexadecimal with at
/// least four digits, ".png".
std::string GaijiImageName(uint32_t unicode);

/// The first `columns` columns of a picture on a canvas of width x height pixels, a byte
/// each (1 = ink): scaled by the largest whole factor at which they fit, nearest
/// neighbour, and centred (a pixel left and up when the room is odd). False when they do
/// not fit unscaled.
bool FitPicture(const Bitmap& picture, int32_t columns, int32_t width, int32_t height,
                std::vector<uint8_t>* canvas);

/// The pixels (1 = ink) as a 1-bit palette PNG: colour 0 black ink, colour 1 a white
/// background made fully transparent by tRNS, rows unfiltered, packed by libdeflate at
/// level 6. False with *error set when no memory can be had.
bool EncodeGaijiPng(const uint8_t* pixels, int32_t width, int32_t height, std::string* png,
                    std::string* error);

/// Whether a glyph at a font's cell takes a full-width image: not in a half-width cell
/// (one no wider than half its height); in a wider one, a character of East Asian Width W
/// or F, and any other whose ink reaches past the cell's left half.
bool FullWidthInCell(const Glyph& glyph);

/// Writes each glyph's picture as DIR/gaiji-uXXXX.png, `height` pixels high: a full-width
/// image is height x height, a half-width one height / 2 x height. A picture drawn at that
/// size is written as it is; one at a font's cell size is scaled by a whole factor (see
/// FitPicture), a half-width glyph in a full-width cell from the cell's left half. At the
/// end of the run it writes DIR/gaiji.css. A file that cannot be written is the run's
/// failure, and stops it.
class EpubImageWriter : public GlyphOutput {
 public:
  /// `drawn`: the pictures come drawn at the image's size, by a face that gave each its
  /// width (a full-width one is wider than half its height); otherwise they come at a
  /// font's cell (see FullWidthInCell). `height` is at least 2. Files are written whole
  /// through `write_file`.
  EpubImageWriter(std::string dir, int32_t height, bool drawn, WriteFile write_file,
                  Failure* failure)
      : dir_(std::move(dir)), height_(height), drawn_(drawn),
        write_file_(std::move(write_file)), failure_(failure) {}
  void Put(const Glyph& glyph) override;
  void Finish(const std::vector<uint32_t>& lacking) override;
  bool failed() const override { return failed_; }
  /// The class of each character whose image was written, as ReplaceGaiji takes them.
  const GaijiClasses& classes() const { return classes_; }

 private:
  std::string dir_;
  int32_t height_;
  bool drawn_;
  WriteFile write_file_;
  Failure* failure_;
  bool failed_ = false;
  GaijiClasses classes_;
  std::vector<uint8_t> canvas_;
};

}  // namespace karvex

#endif  // KARVEX_GAIJI_EPUB_IMAGES_H_
