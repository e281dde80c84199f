#include "gaiji/output_stream.h"

#include <cerrno>

namespace karvex {

char* OutputStream::Extend(size_t n) {
  if (buffer_.size() + n > kBlock) Drain();
  size_t at = buffer_.size();
  buffer_.resize(at + n);
  return &buffer_[at];
}

void OutputStream::Drain() {
  if (!file_) return;
  errno = 0;
  if (error_ == 0 && !buffer_.empty() &&
      std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size()) {
    error_ = errno ? errno : EIO;
  }
  buffer_.clear();
}

bool OutputStream::Flush() {
  Drain();
  errno = 0;
  if (file_ && error_ == 0 && (std::fflush(file_) != 0 || std::ferror(file_))) {
    error_ = errno ? errno : EIO;
  }
  return error_ == 0;
}

}  // namespace karvex
