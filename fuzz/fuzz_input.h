// Taking fuzz inputs apart, the bounds that keep runs small, and what several targets share.
#pragma once
#include <algorithm>
#include <cstdlib>
#include <stdexcept>

#include "face/freetype_rasterizer.h"
#include "gaiji/gaiji_writer.h"
#include "readers/read_options.h"

namespace karvex::fuzz {

template <typename T>
T Take(std::string_view* in) {  // little-endian, off the front; bytes past the end read as 0
  uint64_t v = 0;
  for (size_t i = std::min(sizeof(T), in->size()); i-- > 0;) v = v << 8 | uint8_t((*in)[i]);
  in->remove_prefix(std::min(sizeof(T), in->size()));
  return T(v);
}

// A big cell only costs memory and time (a forced 65535 x 65535 one is 4 GiB): forced sides
// are folded into 1..64 unless the cell is small or past 32 bits, which readers refuse. An
// unforced side stands for the font's size class (8 or 16 at least, 48 at most).
inline void BoundForcedCell(int32_t* w, int32_t* h) {
  const uint64_t fw = *w > 0 ? uint64_t(*w) : 8, fh = *h > 0 ? uint64_t(*h) : 16;
  if (fw * (fh + 1) > UINT32_MAX) return;
  if ((*w > 0 ? fw : 48) * ((*h > 0 ? fh : 48) + 1) <= 64 * 65) return;
  if (*w > 0) *w = 1 + *w % 64;
  if (*h > 0) *h = 1 + *h % 64;
}

// BMP sides are folded past 1024 pixels (FreeType draws ems up to 65535 pixels, and a
// 65528 x 65528 picture is 512 MiB); sides that round up past 65535 stay, to be refused.
inline uint32_t BoundBmpSide(uint32_t side) {
  return side > 1024 && side <= 65528 ? 1 + side % 1024 : side;
}

inline FaceRasterizer* OpenFace(const char* name) {  // once per process, as a run does
  std::string notice, error;  // a notice: another face stands in for a missing one
  auto face = OpenFreeTypeFace(name, &notice, &error);
  if (!face || !notice.empty()) throw std::runtime_error(name + (": " + error + notice));
  return face.release();
}

// The BDF and hex targets. Input: a 25-byte field block, then the font text. Flags u8: bit 0
// header, bit 1 map file, bits 2-3 background (' ', '.', '#', NUL), bit 4 every code instead
// of the first and last below; then, i32 each in ReadOptions' order, first code, last code,
// start EB code, start Unicode value, forced width, forced height.
template <typename Reader>
int RunReader(Reader reader, const uint8_t* data, size_t size) {
  std::string_view in(reinterpret_cast<const char*>(data), size);
  const uint8_t flags = Take<uint8_t>(&in);
  ReadOptions o = {Take<int32_t>(&in), Take<int32_t>(&in), Take<int32_t>(&in),
                   Take<int32_t>(&in), Take<int32_t>(&in), Take<int32_t>(&in), bool(flags & 1)};
  if (flags & 16) o.first_code = INT32_MIN, o.last_code = INT32_MAX;
  BoundForcedCell(&o.forced_width, &o.forced_height);
  OutputStream out, map;
  GaijiWriter writer(&out, flags & 2 ? &map : nullptr, " .#\0"[(flags >> 2) & 3]);
  std::string error = "left over from an earlier run";
  const bool ok = reader(in, o, &writer, &error);
  if (ok != error.empty()) std::abort();  // a failure says why, a success says nothing
  const std::string text = out.text(), end = "</fontSet>\n</gaijiData>\n";
  const bool footed = text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
  if (ok && o.header && !footed) std::abort();
  return 0;
}

}  // namespace karvex::fuzz
