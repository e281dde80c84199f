// The face rasteriser over FreeType, with faces found by fontconfig.
#ifndef KARVEX_FACE_FREETYPE_RASTERIZER_H_
#define KARVEX_FACE_FREETYPE_RASTERIZER_H_

#include <memory>
#include <string>

#include "face/rasterizer.h"

namespace karvex {

/// Opens a face for drawing: `name` is a font file FreeType can open, or else a family
/// name that fontconfig matches. When the best match has no family of that name (case
/// ignored), *notice says which face stands in. Null with *error when nothing opens.
std::unique_ptr<FaceRasterizer> OpenFreeTypeFace(const std::string& name, std::string* notice,
                                                 std::string* error);

}  // namespace karvex

#endif  // KARVEX_FACE_FREETYPE_RASTERIZER_H_
