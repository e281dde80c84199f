// karvex: turns the glyphs of a font into gaiji material for electronic books.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "driver/options.h"
#include "driver/run.h"
#include "face/freetype_rasterizer.h"

namespace {

// Overwrites one stderr line with the share of codes done, at most once per percent.
void ShowProgress(uint64_t done, uint64_t total) {
  static uint64_t shown = ~uint64_t{0};
  uint64_t percent = done * 100 / total;
  if (percent == shown && done != total) return;
  shown = percent;
  std::fprintf(stderr, "\rkarvex: %llu of %llu codes (%llu%%)%s",
               static_cast<unsigned long long>(done), static_cast<unsigned long long>(total),
               static_cast<unsigned long long>(percent), done == total ? "\n" : "");
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string_view> args(argv + (argc > 0 ? 1 : argc), argv + argc);
  karvex::RunOptions options;
  if (karvex::ParseCommandLine(args, &options) == karvex::ParseOutcome::kUsage) {
    std::fputs(karvex::kUsageLine, stdout);
    if (std::fflush(stdout) == 0) return karvex::kExitUsage;
    std::fprintf(stderr, "karvex: standard output: %s\n", std::strerror(errno));
    return karvex::kExitFailure;
  }
  karvex::OutputStream out(stdout);
  karvex::RunIo io;
  io.out = &out;
  io.read_file = karvex::ReadWholeFile;
  io.create_file = [](const std::string& name) { return std::fopen(name.c_str(), "wb"); };
  io.open_face = karvex::OpenFreeTypeFace;
  // Long face runs show how far they are, but only to a person watching a terminal.
  constexpr int64_t kLongRun = 4096;
  if (isatty(STDERR_FILENO) && int64_t{options.last_code} - options.first_code >= kLongRun) {
    io.progress = ShowProgress;
  }
  return karvex::Run(options, io);
}
