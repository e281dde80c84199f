#include "driver/pending_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace karvex {

namespace {

// "e": O_CLOEXEC; "x": O_EXCL. fopen spares the fcntl that fdopen makes to check the mode.
FILE* OpenFile(const std::string& name, bool create) {
  return std::fopen(name.c_str(), create ? "wbxe" : "wbe");
}

}  // namespace

FILE* StartFile(const std::string& name, std::string* temp, std::string* final_name) {
  temp->clear();
  *final_name = name;
  struct stat st;
  bool exists = ::lstat(name.c_str(), &st) == 0;
  if (!exists && errno != ENOENT) return nullptr;
  if (exists && S_ISLNK(st.st_mode)) {
    // A link stays: the regular file it names gets the new text (a dangling link is
    // replaced). /dev/stdout is a link to what standard output is.
    exists = ::stat(name.c_str(), &st) == 0;
    if (!exists && errno != ENOENT) return nullptr;
    if (exists && S_ISREG(st.st_mode)) {
      char* target = ::realpath(name.c_str(), nullptr);
      if (!target) return nullptr;
      *final_name = target;
      std::free(target);
    }
  }
  if (exists && S_ISDIR(st.st_mode)) {
    errno = EISDIR;
    return nullptr;
  }
  // A device or a FIFO takes what is written as it comes, and is never renamed over.
  if (exists && !S_ISREG(st.st_mode)) return OpenFile(name, false);
  if (exists && ::access(final_name->c_str(), W_OK) != 0) return nullptr;
  const size_t slash = final_name->rfind('/');
  const std::string folder = slash == std::string::npos ? "" : final_name->substr(0, slash + 1);
  static const std::string pid = std::to_string(::getpid());
  static unsigned serial = 0;
  FILE* file = nullptr;
  do {
    *temp = folder + ".karvex-" + pid + "-" + std::to_string(serial++);
    file = OpenFile(*temp, true);
  } while (!file && errno == EEXIST);  // left by a run that was killed
  if (!file) {
    temp->clear();
    return nullptr;
  }
  if (exists) {  // the file keeps its permission bits and, where allowed, its owner
    const int fd = ::fileno(file);
    ::fchmod(fd, st.st_mode & 07777);
    if (st.st_uid != ::geteuid() || st.st_gid != ::getegid()) {
      [[maybe_unused]] int ignored = ::fchown(fd, st.st_uid, st.st_gid);
    }
  }
  return file;
}

bool PendingFile::Start(const std::string& name, const RunIo& io, std::string* error) {
  name_ = name;
  file_ = io.start_file(name, &temp_, &final_name_);
  if (!file_) {
    *error = std::strerror(errno);
    return false;
  }
  io_ = &io;
  // The stream holds what is written in blocks: the FILE needs no buffer of its own, and
  // without one it skips the fstat that sizing a buffer costs for each of many files.
  std::setvbuf(file_, nullptr, _IONBF, 0);
  stream_.Attach(file_);
  return true;
}

bool PendingFile::Close(std::string* error) {
  FILE* file = file_;
  file_ = nullptr;
  if (!file || CloseFile(&stream_, file)) return true;
  *error = std::strerror(errno);
  return false;
}

bool PendingFile::Rename(std::string* error) {
  if (temp_.empty()) return true;
  if (!io_->rename_file(temp_, final_name_)) {
    *error = std::strerror(errno);
    return false;
  }
  temp_.clear();
  return true;
}

void PendingFile::Abandon() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
  if (!temp_.empty()) io_->remove_file(temp_);
  temp_.clear();
}

bool WriteWholeFile(const RunIo& io, const std::string& name,
                    const std::function<void(OutputStream*)>& fill, std::string* error) {
  PendingFile file;
  if (!file.Start(name, io, error)) return false;
  fill(file.stream());
  return file.Close(error) && file.Rename(error);
}

}  // namespace karvex
