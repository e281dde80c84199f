// The face rasteriser over FreeType, with faces found by fontconfig.
#ifndef KARVEX_FACE_FREETYPE_RASTERIZER_H_
#define KARVEX_FACE_FREETYPE_RASTERIZER_H_

#include <memory>
#include <string>

#include "face/rasterizer.h"

namespace karvex {

/// Opens a face for drawing. A name with a "/" in it, or that names something that exists,
/// is a font file (packed with gzip or compress too), and nothing stands in for it; any
/// other name is a family that fontconfig matches, and when the best match has no family
/// of that name (case ignored), *notice says which face stands in. Null with *error (the
/// system's reason, "not a font file", ...) when no face opens.
std::unique_ptr<FaceRasterizer> OpenFreeTypeFace(const std::string& name, std::string* notice,
                                                 std::string* error);

}  // namespace karvex

#endif  // KARVEX_FACE_FREETYPE_RASTERIZER_H_
