#include "readers/whole_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace karvex {

namespace {

// Closes a file on every way out.
struct FdCloser {
  int fd;
  ~FdCloser() {
    if (fd >= 0) ::close(fd);
  }
};

// Opens `name` for reading, as `cat` does a FIFO: waiting for a writer.
int OpenForReading(const std::string& name, std::string* error) {
  int fd;
  do {
    fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) *error = std::strerror(errno);
  return fd;
}

// Reads the open file `fd` to its end, a buffer at a time, as long as `take` goes on.
template <typename Take>
bool ReadPieces(int fd, Take take, std::string* error) {
  char buffer[1 << 16];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n == 0) return true;
    if (n < 0) {
      if (errno == EINTR) continue;
      *error = std::strerror(errno);  // a folder reads as "Is a directory"
      return false;
    }
    if (!take(std::string_view(buffer, size_t(n)))) return true;
  }
}

}  // namespace

bool ReadWholeFile(const std::string& name, std::string* contents, std::string* error) {
  const FdCloser file{OpenForReading(name, error)};
  if (file.fd < 0) return false;
  struct stat st;
  if (::fstat(file.fd, &st) != 0) {
    *error = std::strerror(errno);
    return false;
  }
  contents->clear();
  if (S_ISREG(st.st_mode)) contents->reserve(static_cast<size_t>(st.st_size));
  return ReadPieces(file.fd, [contents](std::string_view piece) {
    contents->append(piece);
    return true;
  }, error);
}

bool ReadInPieces(const std::string& name, const std::function<bool(std::string_view)>& take,
                  std::string* error) {
  const FdCloser file{OpenForReading(name, error)};
  return file.fd >= 0 && ReadPieces(file.fd, take, error);
}

}  // namespace karvex
