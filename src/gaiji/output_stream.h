// A write buffer in front of a C stream.
#ifndef KARVEX_GAIJI_OUTPUT_STREAM_H_
#define KARVEX_GAIJI_OUTPUT_STREAM_H_

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
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
    if (text.size() > capacity_ - size_ || capacity_ == 0) {
      WriteSlow(text);
      return;
    }
    std::memcpy(data_.get() + size_, text.data(), text.size());
    size_ += text.size();
  }
  /// Appends `n` bytes for the caller to fill in place; valid until the next call.
  char* Extend(size_t n) {
    if (n > capacity_ - size_) MakeRoom(n);
    char* at = data_.get() + size_;
    size_ += n;
    return at;
  }

  /// From now on the text goes to `file`, what is held so far first.
  void Attach(FILE* file) { file_ = file; }
  /// Writes out everything buffered and flushes the FILE. False once any write failed.
  bool Flush();
  bool failed() const { return error_ != 0; }
  /// The errno of the first failed write, or 0.
  int error() const { return error_; }
  /// What has been written, for a stream without a FILE.
  std::string text() const { return std::string(data_.get(), size_); }

 private:
  /// Text goes to the FILE in blocks of this size (a stream without a FILE keeps growing).
  static constexpr size_t kBlock = 1 << 16;
  void Drain();
  /// Makes room for `n` more bytes: drains a full block, or grows the buffer.
  void MakeRoom(size_t n);
  void WriteSlow(std::string_view text);

  FILE* file_;
  std::unique_ptr<char[]> data_;
  size_t size_ = 0;
  size_t capacity_ = 0;
  int error_ = 0;
};

/// Writes out what `stream` holds for `file` and closes the file; false with errno set when
/// a write failed.
bool CloseFile(OutputStream* stream, FILE* file);

/// Writes the file `name` whole: `fill` writes its content, and the file takes its name
/// only when complete; false with *error set to the reason.
using WriteFile = std::function<bool(const std::string& name,
                                     const std::function<void(OutputStream*)>& fill,
                                     std::string* error)>;

}  // namespace karvex

#endif  // KARVEX_GAIJI_OUTPUT_STREAM_H_
