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

// Closes a file on every way out.
struct FdCloser {
  int fd;
  ~FdCloser() {
    if (fd >= 0) ::close(fd);
  }
};

// Opens `name` for reading, as `cat` does a FIFO: waiting for a writer. A signal that
// interrupts the wait ends it: the run is asked to stop.
int OpenForReading(const std::string& name, std::string* error) {
  const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
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
      *error = std::strerror(errno);  // a folder reads as "Is a directory"
      return false;
    }
    if (!take(std::string_view(buffer, size_t(n)))) return true;
  }
}

}  // namespace

bool ReadWholeFile(const std::string& name, std::string* contents, std::string* error) {
  contents->clear();
  const FdCloser file{OpenForReading(name, error)};
  if (file.fd < 0) return false;
  struct stat st;
  if (::fstat(file.fd, &st) != 0) {
    *error = std::strerror(errno);
    return false;
  }
  if (S_ISREG(st.st_mode) && uint64_t(st.st_size) > kMaxWholeFile) {
    *error = kTooLong;
    return false;
  }
  const char* reason = nullptr;
  try {
    if (S_ISREG(st.st_mode)) contents->reserve(static_cast<size_t>(st.st_size));
    if (ReadPieces(file.fd, [&](std::string_view piece) {
          if (contents->size() + piece.size() > kMaxWholeFile) {
            reason = kTooLong;
            return false;
          }
          contents->append(piece);
          return true;
        }, error) && !reason) {
      return true;
    }
  } catch (const std::bad_alloc&) {
    reason = "too large to hold in memory";
  }
  std::string().swap(*contents);  // what was read goes back
  if (reason) *error = reason;
  return false;
}

bool ReadInPieces(const std::string& name, const std::function<bool(std::string_view)>& take,
                  std::string* error) {
  const FdCloser file{OpenForReading(name, error)};
  return file.fd >= 0 && ReadPieces(file.fd, take, error);
}

}  // namespace karvex
