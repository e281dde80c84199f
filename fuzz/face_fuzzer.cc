// The face outputs over FreeType. Input: face u8 (DejaVu Sans, Unifont, IPAGothic, a PCF
// file), flags u8 (bit 0 BMP, bit 1 code mod 0x30000), background u8, then code, width,
// height, row offset and EB code, u32 each, little-endian.
#include "face/face_source.h"
#include "face/freetype_rasterizer.h"
#include "gaiji/bmp_exporter.h"
#include "fuzz_input.h"

using namespace karvex;

static FaceRasterizer* Open(const char* name) {  // once per process, as a run does
  std::string notice, error;
  std::unique_ptr<FaceRasterizer> face = OpenFreeTypeFace(name, &notice, &error);
  if (!face || !notice.empty()) std::abort();  // a missing font would fuzz a stand-in
  return face.release();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static FaceRasterizer* const faces[] = {Open("DejaVu Sans"), Open("Unifont"), Open("IPAGothic"),
                                          Open("/usr/share/fonts/X11/misc/b16.pcf.gz")};
  std::string_view in(reinterpret_cast<const char*>(data), size);
  FaceRasterizer* face = faces[fuzz::Take<uint8_t>(&in) % 4];
  const uint8_t flags = fuzz::Take<uint8_t>(&in), off = fuzz::Take<uint8_t>(&in);
  uint32_t v[5];
  for (uint32_t& field : v) field = fuzz::Take<uint32_t>(&in);
  const int32_t code = int32_t(flags & 2 ? v[0] % 0x30000 : v[0]);
  FaceDrawing drawing;
  OutputStream out;
  GaijiWriter writer(&out, nullptr, off == '\n' ? ' ' : char(off));
  std::string error;
  FaceView view;
  BmpGeometry g;
  if (!(flags & 1)) {
    view = FaceTextDump(v[1], v[2], v[3]);
  } else if (!BmpView(fuzz::Bound(v[1], 1024), fuzz::Bound(v[2], 1024), &view)) {
    return 0;
  }
  drawing.Draw(face, code, view, &error);
  Glyph glyph;
  glyph.code = glyph.unicode = code;
  glyph.eb = int32_t(v[4]);
  glyph.picture[0] = drawing.picture();
  if (!(flags & 1)) {
    writer.Put(glyph);
  } else if (BmpGeometryFor(view.columns, view.rows, &g)) {
    WriteBmp(glyph.picture[0], g, &out);
    if (out.text().size() != g.file_size) std::abort();  // the size readers rely on
  }
  return 0;
}
