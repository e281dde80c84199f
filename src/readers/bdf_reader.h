// Reads glyphs from a font in the Glyph Bitmap Distribution Format (BDF).
#ifndef KARVEX_READERS_BDF_READER_H_
#define KARVEX_READERS_BDF_READER_H_

#include <string>
#include <string_view>

#include "gaiji/glyph_stream.h"
#include "readers/read_options.h"

namespace karvex {

/// Writes every glyph of the BDF font `text` whose ENCODING lies in the options' code
/// range, placed in a cell sized from FONTBOUNDINGBOX. Returns false with *err set
/// ("line N: ...") when the font cannot be read to its end; what was written stays.
bool ReadBdf(std::string_view text, const ReadOptions& options, GlyphStream* stream,
             std::string* err);

/// The font's CHARSET_REGISTRY and CHARSET_ENCODING properties (JISX0208.1983 and 0, say),
/// without their quotes; empty when the font has none before its first glyph.
void BdfCharset(std::string_view text, std::string* registry, std::string* encoding);

}  // namespace karvex

#endif  // KARVEX_READERS_BDF_READER_H_
