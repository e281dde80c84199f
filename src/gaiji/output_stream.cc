#include "gaiji/output_stream.h"

#include <algorithm>
#include <cerrno>

namespace karvex {

void OutputStream::MakeRoom(size_t n) {
  if (file_ && size_ + n > kBlock) Drain();
  if (size_ + n <= capacity_) return;
  // Small files (a BMP, a short map) need a small buffer; a long run grows it to a block.
  size_t capacity = std::max<size_t>(capacity_ * 2, 256);
  if (file_) capacity = std::min(capacity, kBlock);
  capacity = std::max(capacity, size_ + n);
  std::unique_ptr<char[]> data(new char[capacity]);
  if (size_ != 0) std::memcpy(data.get(), data_.get(), size_);
  data_ = std::move(data);
  capacity_ = capacity;
}

void OutputStream::WriteSlow(std::string_view text) {
  if (text.empty()) return;  // nothing to copy, and maybe no buffer to copy it to
  // Text longer than a block goes straight to the FILE after what is buffered.
  if (file_ && text.size() >= kBlock) {
    Drain();
    errno = 0;
    if (error_ == 0 && std::fwrite(text.data(), 1, text.size(), file_) != text.size()) {
      error_ = errno ? errno : EIO;
    }
    return;
  }
  MakeRoom(text.size());
  std::memcpy(data_.get() + size_, text.data(), text.size());
  size_ += text.size();
}

void OutputStream::Drain() {
  if (!file_) return;
  errno = 0;
  if (error_ == 0 && size_ != 0 && std::fwrite(data_.get(), 1, size_, file_) != size_) {
    error_ = errno ? errno : EIO;
  }
  size_ = 0;
}

bool OutputStream::Flush() {
  Drain();
  errno = 0;
  if (file_ && error_ == 0 && (std::fflush(file_) != 0 || std::ferror(file_))) {
    error_ = errno ? errno : EIO;
  }
  return error_ == 0;
}

bool CloseFile(OutputStream* stream, FILE* file) {
  bool ok = stream->Flush();
  int error = stream->error();
  if (std::fclose(file) != 0 && ok) {
    ok = false;
    error = errno;
  }
  errno = error;
  return ok;
}

}  // namespace karvex
