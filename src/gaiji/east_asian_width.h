// Which characters take a full-width cell in East Asian text.
#ifndef KARVEX_GAIJI_EAST_ASIAN_WIDTH_H_
#define KARVEX_GAIJI_EAST_ASIAN_WIDTH_H_

#include <cstdint>

namespace karvex {

/// True for the characters whose East Asian Width is W (wide) or F (fullwidth): kanji,
/// kana, Hangul, full-width forms. Others (narrow, half-width, ambiguous, neutral) are not.
bool IsWide(uint32_t code);

enum class EastAsianWidthClass { kNarrow, kWide, kAmbiguous };
/// W and F are wide, A ambiguous, Na, H and N narrow.
inline EastAsianWidthClass EastAsianWidthOf(uint32_t code) {
  return IsWide(code) ? EastAsianWidthClass::kWide : EastAsianWidthClass::kNarrow;
}

}  // namespace karvex

#endif  // KARVEX_GAIJI_EAST_ASIAN_WIDTH_H_
