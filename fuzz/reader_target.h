// The common body of the BDF and hex reader fuzz targets.
//
// Input: a 25-byte field block, then the font text.
//   flags u8: bit 0 header, bit 1 map file, bits 2-3 background character (' ', '.', '#',
//             NUL), bit 4 the whole code range instead of the two codes below
//   first code i32, last code i32, start EB code i32, start Unicode value i32,
//   forced width i32, forced height i32 (bounded, see fuzz_input.h)
#ifndef KARVEX_FUZZ_READER_TARGET_H_
#define KARVEX_FUZZ_READER_TARGET_H_

#include <climits>
#include <string>

#include "fuzz_check.h"
#include "fuzz_input.h"
#include "gaiji/gaiji_writer.h"
#include "readers/read_options.h"

namespace karvex {
namespace fuzz {

using Reader = bool (*)(std::string_view, const ReadOptions&, GaijiWriter*, std::string*);

inline void RunReaderTarget(Reader reader, bool bdf, const uint8_t* data, size_t size) {
  ByteReader input(data, size);
  const uint8_t flags = input.Take<uint8_t>();
  ReadOptions options;
  options.header = flags & 1;
  const bool with_map = flags & 2;
  const char off_char = " .#\0"[(flags >> 2) & 3];
  options.first_code = input.Take<int32_t>();
  options.last_code = input.Take<int32_t>();
  if (flags & 16) {
    options.first_code = INT32_MIN;
    options.last_code = INT32_MAX;
  }
  options.start_eb = input.Take<int32_t>();
  options.start_unicode = input.Take<int32_t>();
  options.forced_width = input.Take<int32_t>();
  options.forced_height = input.Take<int32_t>();
  BoundForcedCell(&options.forced_width, &options.forced_height);

  OutputStream out, map;
  GaijiWriter writer(&out, with_map ? &map : nullptr, off_char);
  std::string err = "left over from an earlier run";
  const bool ok = reader(input.rest(), options, &writer, &err);

  // A reading that did not succeed always says why; one that did says nothing.
  FUZZ_CHECK(ok == err.empty());
  FUZZ_CHECK(!writer.failed());
  GaijiText text = CheckGaijiText(out.text(), off_char);
  MapText map_text = CheckMapText(map.text());
  if (!with_map) FUZZ_CHECK(map.text().empty());
  if (!options.header) {
    FUZZ_CHECK(!text.header && !text.footer && !map_text.header && !map_text.footer);
  } else {
    // The header comes with the cell, the footer with every normal end.
    FUZZ_CHECK(map_text.header == (with_map && text.header));
    FUZZ_CHECK(map_text.footer == (with_map && text.footer));
    if (ok) FUZZ_CHECK(text.footer);
    if (ok && !bdf) FUZZ_CHECK(text.header);
  }
  CheckBlocksMatchMap(text, with_map ? &map_text : nullptr, options.start_eb);
  if (!text.blocks.empty()) {
    // Every block shows the whole cell. Without a forced side the cell follows the size
    // classes: 8 to 48 wide, 16 to 48 high.
    const GlyphBlock& first = text.blocks[0];
    if (options.forced_width > 0) FUZZ_CHECK(first.width == size_t(options.forced_width));
    else FUZZ_CHECK(first.width >= 8 && first.width <= 48);
    if (options.forced_height > 0) FUZZ_CHECK(first.rows == size_t(options.forced_height));
    else FUZZ_CHECK(first.rows >= 16 && first.rows <= 48);
    if (text.header) {
      FUZZ_CHECK(text.size == std::to_string(first.width) + "X" + std::to_string(first.rows));
    }
  }
  int32_t unicode = options.start_unicode;
  for (const GlyphBlock& block : text.blocks) {
    FUZZ_CHECK(block.has_code == bdf);
    if (bdf) {
      // Only glyphs of the range are written, with the Unicode values counted up.
      FUZZ_CHECK(int32_t(block.code) >= options.first_code &&
                 int32_t(block.code) <= options.last_code);
      FUZZ_CHECK(block.unicode == uint32_t(unicode));
      unicode = int32_t(uint32_t(unicode) + 1);
    }
  }
}

}  // namespace fuzz
}  // namespace karvex

#endif  // KARVEX_FUZZ_READER_TARGET_H_
