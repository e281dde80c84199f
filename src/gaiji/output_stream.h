// A write buffer in front of a C stream.
#ifndef KARVEX_GAIJI_OUTPUT_STREAM_H_
#define KARVEX_GAIJI_OUTPUT_STREAM_H_

#include <cstdio>
#include <string>
#include <string_view>

namespace karvex {

/// Collects text and hands it to a FILE in large blocks, so that writing a glyph costs no
/// stream call per pixel. Without a FILE the text stays in memory (for tests). The first
/// write error is kept; later text is dropped.
class OutputStream {
 public:
  explicit OutputStream(FILE* file = nullptr) : file_(file) {}
  OutputStream(const OutputStream&) = delete;
  OutputStream& operator=(const OutputStream&) = delete;

  void Write(std::string_view text) {
    buffer_.append(text.data(), text.size());
    if (buffer_.size() >= kBlock) Drain();
  }
  void Put(char c) {
    buffer_.push_back(c);
    if (buffer_.size() >= kBlock) Drain();
  }
  /// Appends `n` bytes for the caller to fill in place; valid until the next call.
  char* Extend(size_t n);

  /// Writes out everything buffered and flushes the FILE. False once any write failed.
  bool Flush();
  bool failed() const { return error_ != 0; }
  /// The errno of the first failed write, or 0.
  int error() const { return error_; }
  /// What has been written, for a stream without a FILE.
  const std::string& text() const { return buffer_; }

 private:
  static constexpr size_t kBlock = 1 << 16;
  void Drain();

  FILE* file_;
  std::string buffer_;
  int error_ = 0;
};

}  // namespace karvex

#endif  // KARVEX_GAIJI_OUTPUT_STREAM_H_
