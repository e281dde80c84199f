// A rasteriser without fonts: it records its calls and draws a known picture.
#ifndef KARVEX_TESTS_FAKE_RASTERIZER_H_
#define KARVEX_TESTS_FAKE_RASTERIZER_H_

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "face/rasterizer.h"

namespace karvex {

/// Draws a diagonal from the top-left corner, em pixels long, and marks the code's low
/// three bits as a pixel in column code % 8 of the last canvas row. Ems above `max_em`
/// fail, as sizes a face does not have.
class FakeRasterizer : public FaceRasterizer {
 public:
  using Calls = std::vector<std::pair<int32_t, uint32_t>>;
  /// Records (code, em) of each call in `log`, which may outlive the rasteriser.
  explicit FakeRasterizer(Calls* log = nullptr, uint32_t max_em = UINT32_MAX)
      : log_(log ? log : &calls), max_em_(max_em) {}

  bool Draw(int32_t code, uint32_t em_pixels, MonoCanvas* canvas, std::string* error) override {
    log_->emplace_back(code, em_pixels);
    if (em_pixels > max_em_) {
      *error = "the face has no size of " + std::to_string(em_pixels) + " pixels";
      return false;
    }
    for (uint32_t i = 0; i < em_pixels && i < canvas->width && i < canvas->height; ++i) {
      canvas->SetInk(i, i);
    }
    canvas->SetInk(uint32_t(code) % 8, canvas->height - 1);
    return true;
  }
  Calls calls;

 private:
  Calls* log_;
  uint32_t max_em_;
};

}  // namespace karvex

#endif  // KARVEX_TESTS_FAKE_RASTERIZER_H_
