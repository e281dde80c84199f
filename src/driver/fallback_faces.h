// The faces of --fallback, in order, which draw what the source lacks or the cell cuts.
#ifndef KARVEX_DRIVER_FALLBACK_FACES_H_
#define KARVEX_DRIVER_FALLBACK_FACES_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "driver/run.h"
#include "face/face_source.h"
#include "gaiji/glyph_stream.h"

namespace karvex {

class FallbackFaces {
 public:
  FallbackFaces(const RunOptions& options, const RunIo& io) : options_(options), io_(io) {}

  /// Opens every face; false with *failure set when one does not open, or when fontconfig
  /// has no face of its name and would draw it in another.
  bool Open(Failure* failure);
  /// The faces draw in `layout`; false with *failure set when one lacks a size it needs.
  bool UseLayout(const FaceLayout& layout, Failure* failure);
  /// Puts the glyph of the first face that has the glyph's character (its Unicode value)
  /// whole; false when none has. A .hex or BDF source's faces draw in the stream's cell.
  bool Substitute(GlyphStream* stream, Glyph* glyph, Failure* failure);
  /// Says on standard error how many characters came from each face.
  void Tell() const;
  /// The faces, in order.
  std::vector<FaceRasterizer*> faces() const;
  /// ", NAME" for each face, in order.
  std::string Names() const;

 private:
  struct Face {
    std::string name;
    std::unique_ptr<FaceRasterizer> face;
    int64_t drawn;
  };
  const RunOptions& options_;
  const RunIo& io_;
  std::vector<Face> faces_;
  FaceLayout layout_;
  bool ready_ = false;
  FacePictures pictures_;
};

}  // namespace karvex

#endif  // KARVEX_DRIVER_FALLBACK_FACES_H_
