// Which characters take a full-width cell in East Asian text.
#ifndef KARVEX_GAIJI_EAST_ASIAN_WIDTH_H_
#define KARVEX_GAIJI_EAST_ASIAN_WIDTH_H_

#include <cstdint>

namespace karvex {

/// True for the characters whose East Asian Width is W (wide) or F (fullwidth): kanji,
/// kana, Hangul, full-width forms. Others (narrow, half-width, ambiguous, neutral) are not.
bool IsWide(uint32_t code);

}  // namespace karvex

#endif  // KARVEX_GAIJI_EAST_ASIAN_WIDTH_H_
