// Taking a fuzz input apart, and the size bounds the fuzz targets keep to.
#ifndef KARVEX_FUZZ_FUZZ_INPUT_H_
#define KARVEX_FUZZ_FUZZ_INPUT_H_

#include <cstdint>
#include <cstring>
#include <string_view>

namespace karvex {
namespace fuzz {

/// Reads fixed-size little-endian fields from the front of an input; a field past its end
/// reads as 0. What follows the fields is the rest.
class ByteReader {
 public:
  ByteReader(const uint8_t* data, size_t size)
      : rest_(reinterpret_cast<const char*>(data), size) {}
  template <typename T>
  T Take() {
    uint8_t bytes[sizeof(T)] = {};
    size_t n = rest_.size() < sizeof(T) ? rest_.size() : sizeof(T);
    std::memcpy(bytes, rest_.data(), n);
    rest_.remove_prefix(n);
    uint64_t v = 0;
    for (size_t i = sizeof(T); i-- > 0;) v = (v << 8) | bytes[i];
    return static_cast<T>(v);
  }
  std::string_view rest() const { return rest_; }

 private:
  std::string_view rest_;
};

/// The cell a forced size can lead to is refused by the readers when its bytes pass 32
/// bits, whatever the font says; short of that, the fuzz targets keep cells small, since
/// a big one only costs memory and time (a forced 65535 x 65535 cell is 4 GiB). A side
/// of 0 or below is not forced: the font's own size class (8..48) stands in.
constexpr uint64_t kMaxFuzzCellBytes = 64 * 65;

inline bool CellAlwaysRefused(int32_t forced_width, int32_t forced_height) {
  uint64_t w = forced_width > 0 ? uint64_t(forced_width) : 8;
  uint64_t h = forced_height > 0 ? uint64_t(forced_height) : 16;
  return w * (h + 1) > 0xFFFFFFFFu;
}

/// Keeps forced sizes that give small cells or cells that are always refused; any other
/// forced side is folded into 1..64.
inline void BoundForcedCell(int32_t* forced_width, int32_t* forced_height) {
  if (CellAlwaysRefused(*forced_width, *forced_height)) return;
  uint64_t w = *forced_width > 0 ? uint64_t(*forced_width) : 48;
  uint64_t h = *forced_height > 0 ? uint64_t(*forced_height) : 48;
  if (w * (h + 1) <= kMaxFuzzCellBytes) return;
  if (*forced_width > 0) *forced_width = 1 + *forced_width % 64;
  if (*forced_height > 0) *forced_height = 1 + *forced_height % 64;
}

/// BMP canvases: the export refuses sides that round to 0 or past INT32_MAX and files
/// past 32 bits; short of that a side above this many pixels is folded, as a
/// 100000 x 100000 picture is a 2.5 GB file and FreeType renders ems up to 65535 pixels.
constexpr uint32_t kMaxFuzzBmpSide = 1024;

}  // namespace fuzz
}  // namespace karvex

#endif  // KARVEX_FUZZ_FUZZ_INPUT_H_
