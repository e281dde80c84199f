// Reads glyphs from a ".hex" glyph file: a size line, then one "code:bitmap" per line.
#ifndef KARVEX_READERS_HEX_READER_H_
#define KARVEX_READERS_HEX_READER_H_

#include <string>
#include <string_view>

#include "gaiji/glyph_stream.h"
#include "readers/read_options.h"

namespace karvex {

/// Writes every glyph line of `text`, in file order, with its own code as the Unicode
/// value. Returns false with *err set when the file is empty, its size line is
/// incomplete or no cell can be made; what was written stays.
bool ReadHex(std::string_view text, const ReadOptions& options, GlyphStream* stream,
             std::string* err);

}  // namespace karvex

#endif  // KARVEX_READERS_HEX_READER_H_
