#include "driver/pending_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace karvex {

FILE* OpenWithoutEmptying(const std::string& name, bool* created) {
  int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  *created = fd >= 0;
  if (fd < 0 && errno == EEXIST) fd = ::open(name.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  FILE* file = ::fdopen(fd, "wb");
  if (!file) {
    const int error = errno;
    ::close(fd);
    errno = error;
  }
  return file;
}

bool PendingFile::Start(const std::string& name, const Open& open, Remove remove,
                        std::string* error) {
  name_ = name;
  remove_ = std::move(remove);
  file_ = open(name, &created_);
  if (!file_) *error = std::strerror(errno);
  return file_ != nullptr;
}

bool PendingFile::Commit() {
  if (committed_ || !file_) return committed_;
  // Only a regular file is emptied: a device or a FIFO takes what is written as it comes.
  struct stat st;
  const int fd = ::fileno(file_);
  if (fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::ftruncate(fd, 0) != 0) {
    return false;
  }
  committed_ = true;
  stream_.Attach(file_);
  return true;
}

bool PendingFile::Close() {
  if (!file_) return true;
  FILE* file = file_;
  file_ = nullptr;
  return CloseFile(&stream_, file);
}

void PendingFile::Abandon() {
  if (!file_ || committed_) return;
  std::fclose(file_);
  file_ = nullptr;
  if (created_ && remove_) remove_(name_);
}

}  // namespace karvex
