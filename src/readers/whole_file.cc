#include "readers/whole_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace karvex {

bool ReadWholeFile(const std::string& name, std::string* contents, std::string* error) {
  int fd;
  do {
    fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    *error = std::strerror(errno);
    return false;
  }
  struct FdCloser {
    int fd;
    ~FdCloser() { ::close(fd); }
  } closer{fd};
  struct stat st;
  if (::fstat(fd, &st) != 0) {
    *error = std::strerror(errno);
    return false;
  }
  contents->clear();
  if (S_ISREG(st.st_mode)) contents->reserve(static_cast<size_t>(st.st_size));
  char buffer[1 << 16];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n == 0) return true;
    if (n < 0) {
      if (errno == EINTR) continue;
      *error = std::strerror(errno);  // a folder reads as "Is a directory"
      return false;
    }
    contents->append(buffer, static_cast<size_t>(n));
  }
}

}  // namespace karvex
