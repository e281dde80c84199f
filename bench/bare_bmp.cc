// The floor for a BMP export: creating the files alone.
//
//   bare_bmp FIRST LAST        (in the folder to fill)
//
// Writes one file per code of FIRST..LAST (hex), named "%04X.bmp" as karvex names them,
// each a white 16 x 16 one-bit BMP of the size karvex writes for the default cell
// (62 + 4 x 16 = 126 bytes), whole as karvex writes files: under a temporary name that is
// then renamed. One open, one write, one close, one rename per file, nothing drawn.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: bare_bmp FIRST LAST\n");
    return 2;
  }
  const long first = std::strtol(argv[1], nullptr, 16), last = std::strtol(argv[2], nullptr, 16);
  constexpr uint32_t kSide = 16, kStride = 4, kSize = 62 + kStride * kSide;
  uint8_t file[kSize] = {};
  file[0] = 'B';
  file[1] = 'M';
  Put32(file + 2, kSize);
  Put32(file + 10, 62);
  Put32(file + 14, 40);
  Put32(file + 18, kSide);
  Put32(file + 22, kSide);
  file[26] = 1;
  file[28] = 1;
  std::memset(file + 58, 0xFF, 3);
  for (uint32_t y = 0; y < kSide; ++y) std::memset(file + 62 + y * kStride, 0xFF, 2);

  char name[16];
  for (long code = first; code <= last; ++code) {
    std::snprintf(name, sizeof name, "%04lX.bmp", code);
    int fd = ::open(".bare", O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0 || ::write(fd, file, kSize) != ssize_t{kSize} || ::close(fd) != 0 ||
        std::rename(".bare", name) != 0) {
      std::perror(name);
      return 1;
    }
  }
  return 0;
}
