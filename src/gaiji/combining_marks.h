// Which characters are combining marks.
#ifndef KARVEX_GAIJI_COMBINING_MARKS_H_
#define KARVEX_GAIJI_COMBINING_MARKS_H_

#include <cstdint>

namespace karvex {

/// True for the characters of general category M (Mn, Mc, Me): marks that go with the
/// character before them, such as U+0301 (acute accent), U+3099 (dakuten) and Thai vowels.
bool IsCombiningMark(uint32_t code);

}  // namespace karvex

#endif  // KARVEX_GAIJI_COMBINING_MARKS_H_
