// A character of a font face as a text-art glyph block.
#ifndef KARVEX_FACE_FACE_TEXT_DUMP_H_
#define KARVEX_FACE_FACE_TEXT_DUMP_H_

#include <cstdint>
#include <string>

#include "face/rasterizer.h"
#include "gaiji/gaiji_writer.h"

namespace karvex {

/// The em a text dump draws at: the larger of the width and height, each capped at 48.
uint32_t TextDumpEm(uint32_t width, uint32_t height);

/// Draws `code` on a 48 x 48 canvas at the larger of the width and height (each capped at
/// 48) as the em, and writes `height` rows of `width` pixels from canvas row `row_offset`
/// down (all 48 columns when the width is 0). No rows are written when the unsigned sum
/// row_offset + height wraps; rows past the canvas print as background. The block is
/// written in any case; false, with *error set, when the face could not draw the code.
bool FaceTextDump(int32_t code, uint32_t width, uint32_t height, int32_t eb,
                  uint32_t row_offset, FaceRasterizer* rasterizer, MonoCanvas* canvas,
                  GaijiWriter* writer, std::string* error);

}  // namespace karvex

#endif  // KARVEX_FACE_FACE_TEXT_DUMP_H_
