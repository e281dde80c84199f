// Taking fuzz inputs apart, and bounds that keep runs small.
#pragma once
#include <algorithm>
#include <string>

#include "gaiji/gaiji_writer.h"
#include "readers/read_options.h"

namespace karvex::fuzz {

/// A little-endian field off the front of the input; bytes past its end read as 0.
template <typename T>
T Take(std::string_view* in) {
  uint64_t v = 0;
  for (size_t i = std::min(sizeof(T), in->size()); i-- > 0;) v = v << 8 | uint8_t((*in)[i]);
  in->remove_prefix(std::min(sizeof(T), in->size()));
  return T(v);
}

/// Sides past 64 (cells) or 1024 (BMP pictures) fold back: a big cell costs only time.
inline int32_t Bound(int32_t side, int32_t limit) {
  return side > limit ? 1 + side % limit : side;
}

/// The BDF and hex targets. Input: flags u8 (bit 0 header, bit 1 map file, bits 2-3
/// background ' ', '.', '#' or NUL, bit 4 every code, bit 5 a code set: up to 256 codes
/// from the first), then first code, last code, start EB code, start Unicode value, forced
/// width and height (i32 each), then the font text.
template <typename Reader>
int RunReader(Reader reader, const uint8_t* data, size_t size) {
  std::string_view in(reinterpret_cast<const char*>(data), size);
  const uint8_t flags = Take<uint8_t>(&in);
  ReadOptions o;
  int32_t start_eb;
  for (int32_t* field : {&o.first_code, &o.last_code, &start_eb, &o.start_unicode,
                         &o.forced_width, &o.forced_height}) {
    *field = Take<int32_t>(&in);
  }
  o.first_code = flags & 16 ? INT32_MIN : o.first_code;
  o.last_code = flags & 16 ? INT32_MAX : o.last_code;
  std::vector<WantedGlyph> wanted;
  for (int64_t code = o.first_code; flags & 32 && code <= o.last_code && wanted.size() < 256;) {
    wanted.push_back({uint32_t(code), int32_t(code++)});
  }
  o.wanted = flags & 32 ? &wanted : nullptr;
  o.forced_width = Bound(o.forced_width, 64);
  o.forced_height = Bound(o.forced_height, 64);
  OutputStream out, map;
  const bool header = flags & 1;
  GaijiWriter writer(&out, flags & 2 ? &map : nullptr, " .#\0"[(flags >> 2) & 3], header);
  GlyphStream stream(start_eb, {&writer});
  std::string error = "left over", text, footer = "</fontSet>\n</gaijiData>\n";
  const bool ok = reader(in, o, &stream, &error);
  text = out.text();
  if (ok != error.empty()) std::abort();  // a failure says why, a success says nothing
  if (ok && header && text.rfind(footer) != text.size() - footer.size()) std::abort();
  return 0;
}

}  // namespace karvex::fuzz
