// The characters a run asks for by --codes and --missing-from.
#ifndef KARVEX_DRIVER_CODE_SET_H_
#define KARVEX_DRIVER_CODE_SET_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace karvex {

/// The distinct characters of UTF-8 text in ascending order; C0 controls (line ends, tabs)
/// and the byte order mark are not characters here. False, with *error set to "line L: not
/// UTF-8", at the first byte that does not belong to well-formed UTF-8.
bool CodeSetOfText(std::string_view text, std::vector<uint32_t>* codes, std::string* error);

/// Keeps the codes the character set `charset` cannot encode; false when the C library's
/// iconv knows no set of that name.
bool KeepMissingFrom(const std::string& charset, std::vector<uint32_t>* codes);

}  // namespace karvex

#endif  // KARVEX_DRIVER_CODE_SET_H_
