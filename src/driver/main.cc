// karvex: turns the glyphs of a font into gaiji material for electronic books.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "driver/options.h"
#include "driver/pending_file.h"
#include "driver/run.h"
#include "face/freetype_rasterizer.h"
#include "readers/whole_file.h"

namespace {

// Overwrites one stderr line with the share of codes done, at most once per percent; the
// line ends when the run's loop does, so that an error after it starts a line of its own.
void ShowProgress(uint64_t done, uint64_t total, bool ended) {
  static uint64_t shown = ~uint64_t{0};
  const uint64_t percent = done * 100 / total;
  if (percent == shown && !ended) return;
  shown = percent;
  std::fprintf(stderr, "\rkarvex: %llu of %llu codes (%llu%%)%s",
               static_cast<unsigned long long>(done), static_cast<unsigned long long>(total),
               static_cast<unsigned long long>(percent), ended ? "\n" : "");
}

// Prints text that ends a run before any source is read; a failed write is reported.
int Print(std::initializer_list<const char*> texts, int status) {
  for (const char* text : texts) std::fputs(text, stdout);
  if (std::fflush(stdout) == 0) return status;
  std::fprintf(stderr, "karvex: standard output: %s\n", std::strerror(errno));
  return karvex::kExitFailure;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string_view> args(argv + (argc > 0 ? 1 : argc), argv + argc);
  karvex::RunOptions options;
  const karvex::ParseOutcome outcome = karvex::ParseCommandLine(args, &options);
  // Likely mistakes in the single letters are said before anything else, then read as
  // the letter rules read them.
  for (const std::string& note : options.notes) std::fprintf(stderr, "karvex: %s\n", note.c_str());
  switch (outcome) {
    case karvex::ParseOutcome::kUsage:
      return Print({karvex::kUsageLine}, karvex::kExitUsage);
    case karvex::ParseOutcome::kHelp:
      return Print({karvex::kUsageLine, karvex::kHelpText}, karvex::kExitOk);
    case karvex::ParseOutcome::kVersion:
      return Print({"karvex " KARVEX_VERSION "\n"}, karvex::kExitOk);
    case karvex::ParseOutcome::kError:
      std::fprintf(stderr, "karvex: %s\n", options.error.c_str());
      return karvex::kExitFailure;
    case karvex::ParseOutcome::kRun:
      break;
  }
  karvex::OutputStream out(stdout);
  karvex::RunIo io;
  io.out = &out;
  io.read_file = karvex::ReadWholeFile;
  io.read_pieces = karvex::ReadInPieces;
  io.create_file = [](const std::string& name) { return std::fopen(name.c_str(), "wb"); };
  io.open_file = karvex::OpenWithoutEmptying;
  io.remove_file = [](const std::string& name) { ::unlink(name.c_str()); };
  io.append_file = [](const std::string& name) { return std::fopen(name.c_str(), "ab"); };
  io.make_folder = [](const std::string& name) { return ::mkdir(name.c_str(), 0777) == 0; };
  io.open_face = karvex::OpenFreeTypeFace;
  // Long face runs show how far they are to a person watching a terminal, unless the text
  // art goes to that terminal too.
  if (isatty(STDERR_FILENO) && !isatty(STDOUT_FILENO)) io.progress = ShowProgress;
  return karvex::Run(options, io);
}
