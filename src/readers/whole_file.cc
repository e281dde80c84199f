#include "readers/whole_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <new>

namespace karvex {

namespace {

const char kTooLong[] = "longer than 1 GiB, more than karvex reads";

bool Fail(const char* reason, std::string* contents, std::string* error) {
  std::string().swap(*contents);  // what was read goes back
  *error = reason;
  return false;
}

}  // namespace

bool ReadWholeFile(const std::string& name, std::string* contents, std::string* error) {
  const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return Fail(std::strerror(errno), contents, error);
  struct FdCloser {
    int fd;
    ~FdCloser() { ::close(fd); }
  } closer{fd};
  struct stat st;
  if (::fstat(fd, &st) != 0) return Fail(std::strerror(errno), contents, error);
  if (S_ISREG(st.st_mode) && uint64_t(st.st_size) > kMaxWholeFile) {
    return Fail(kTooLong, contents, error);
  }
  contents->clear();
  try {
    if (S_ISREG(st.st_mode)) contents->reserve(static_cast<size_t>(st.st_size));
    char buffer[1 << 16];
    for (;;) {
      const ssize_t n = ::read(fd, buffer, sizeof buffer);
      if (n == 0) return true;
      // A folder reads as "Is a directory".
      if (n < 0) return Fail(std::strerror(errno), contents, error);
      if (contents->size() + size_t(n) > kMaxWholeFile) return Fail(kTooLong, contents, error);
      contents->append(buffer, static_cast<size_t>(n));
    }
  } catch (const std::bad_alloc&) {
    return Fail("too large to hold in memory", contents, error);
  }
}

}  // namespace karvex
