// The face text dump and BMP export over the real FreeType rasteriser. Input, little-endian:
// face u8 (DejaVu Sans, Unifont, IPAGothic, a PCF font opened as a file), flags u8 (bit 0
// BMP, bit 1 fold the code into 0..0x2FFFF), background u8; then code, width, height, row
// offset, EB code, and a second code, width and height (each mod 49) drawn next so that the
// face changes size within an input, u32 each.
#include <cstdio>

#include "face/bmp_export.h"
#include "face/face_text_dump.h"
#include "fuzz_input.h"

using namespace karvex;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static FaceRasterizer* const faces[] = {
      fuzz::OpenFace("DejaVu Sans"), fuzz::OpenFace("Unifont"), fuzz::OpenFace("IPAGothic"),
      fuzz::OpenFace("/usr/share/fonts/X11/misc/shnmk16.pcf.gz")};
  std::string_view in(reinterpret_cast<const char*>(data), size);
  FaceRasterizer* face = faces[fuzz::Take<uint8_t>(&in) % 4];
  const uint8_t flags = fuzz::Take<uint8_t>(&in), off = fuzz::Take<uint8_t>(&in);
  auto u32 = [&] { return fuzz::Take<uint32_t>(&in); };
  uint32_t code = u32(), width = u32(), height = u32(), row = u32(), eb = u32();
  const uint32_t code2 = u32(), width2 = u32() % 49, height2 = u32() % 49;
  if (flags & 2) code %= 0x30000;
  MonoCanvas canvas;
  OutputStream out;
  std::string error;
  BmpGeometry g;
  if (!(flags & 1)) {
    GaijiWriter writer(&out, nullptr, off == '\n' ? ' ' : char(off));
    FaceTextDump(code, width, height, eb, row, face, &canvas, &writer, &error);
    // The tags around the rows (none when row + height wraps), each with its line end.
    const size_t rows = row < row + std::min(height, 48u) ? std::min(height, 48u) : 0;
    const size_t tags = 44 + std::snprintf(nullptr, 0, "%X%X", eb, code);
    if (out.text().size() != tags + rows * ((width ? std::min(width, 48u) : 48) + 1)) std::abort();
    FaceTextDump(code2, width2, height2, eb, 0, face, &canvas, &writer, &error);
  } else if (BmpGeometryFor(fuzz::BoundBmpSide(width), fuzz::BoundBmpSide(height), &g)) {
    DrawForBmp(code, g, face, &canvas, &error);
    WriteBmp(canvas, g, &out);
    if (out.text().size() != g.file_size) std::abort();
    if (BmpGeometryFor(width2, height2, &g)) DrawForBmp(code2, g, face, &canvas, &error);
  }
  return 0;
}
