// The width a character takes in East Asian text, by its East Asian Width.
#ifndef KARVEX_GAIJI_EAST_ASIAN_WIDTH_H_
#define KARVEX_GAIJI_EAST_ASIAN_WIDTH_H_

#include <cstdint>

namespace karvex {

/// Wide: East Asian Width W (wide) or F (fullwidth): kanji, kana, Hangul, full-width forms.
/// Ambiguous: A, wide in East Asian faces and narrow elsewhere (Greek, Cyrillic, ①, ○).
/// Narrow: all others, Na (narrow), H (half-width) and N (neutral).
enum class EastAsianWidthClass { kNarrow, kWide, kAmbiguous };

EastAsianWidthClass EastAsianWidthOf(uint32_t code);

/// True for the characters whose East Asian Width is W or F.
bool IsWide(uint32_t code);

}  // namespace karvex

#endif  // KARVEX_GAIJI_EAST_ASIAN_WIDTH_H_
