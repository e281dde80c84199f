// karvex: turns the glyphs of a font into gaiji material for electronic books.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <new>
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

// The first signal that asked the run to end.
volatile sig_atomic_t stop_signal = 0;

void Stop(int signal) {
  // The alarm only wakes a blocked call; it asks nothing of the run itself.
  if (stop_signal == 0 && signal != SIGALRM) stop_signal = signal;
  // A signal that came just before a blocking call (the open of a FIFO that waits for its
  // writer) did not interrupt it; the alarm does, every second until the run ends.
  ::alarm(1);
}

// SIGINT, SIGTERM and SIGHUP (and SIGALRM) end the run at the next glyph or blocking call,
// its temporary files removed: without SA_RESTART a blocking read or write fails with EINTR.
// A signal ignored when the run started (nohup, a background job) stays ignored. A file
// size limit is a write error of the file (EFBIG), not the end of the process.
void CatchSignals() {
  struct sigaction action = {};
  action.sa_handler = Stop;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGALRM}) {
    struct sigaction old;
    if (::sigaction(signal, nullptr, &old) == 0 && old.sa_handler != SIG_IGN) {
      ::sigaction(signal, &action, nullptr);
    }
  }
  std::signal(SIGXFSZ, SIG_IGN);
}

bool IsFile(const std::string& name) {
  struct stat st;
  return ::stat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode);
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
  CatchSignals();
  karvex::OutputStream out(stdout);
  karvex::RunIo io;
  io.out = &out;
  io.read_file = [](const std::string& name, std::string* contents, std::string* error) {
    if (stop_signal != 0) {  // no blocking open after the signal
      *error = std::strerror(EINTR);
      return false;
    }
    return karvex::ReadWholeFile(name, contents, error);
  };
  io.read_pieces = [](const std::string& name, const std::function<bool(std::string_view)>& take,
                      std::string* error) {
    if (stop_signal != 0) {
      *error = std::strerror(EINTR);
      return false;
    }
    return karvex::ReadInPieces(name, take, error);
  };
  io.start_file = karvex::StartFile;
  io.rename_file = [](const std::string& temp, const std::string& name) {
    return ::rename(temp.c_str(), name.c_str()) == 0;
  };
  io.remove_file = [](const std::string& name) { ::unlink(name.c_str()); };
  io.is_file = IsFile;
  io.make_folder = [](const std::string& name) { return ::mkdir(name.c_str(), 0777) == 0; };
  io.open_face = karvex::OpenFreeTypeFace;
  io.stop_signal = [] { return int(stop_signal); };
  // Long face runs show how far they are to a person watching a terminal, unless the text
  // art goes to that terminal too.
  if (isatty(STDERR_FILENO) && !isatty(STDOUT_FILENO)) io.progress = ShowProgress;
  int status;
  try {
    status = karvex::Run(options, io);
  } catch (const std::bad_alloc&) {  // the run's files are removed on the way out
    std::fprintf(stderr, "karvex: %s: %s\n", options.source.c_str(), std::strerror(ENOMEM));
    status = karvex::kExitFailure;
  }
  if (stop_signal != 0) {
    // The run ends as the signal ends a process, so that a shell loop around it stops too
    // (the shell's status is 128 + N).
    std::signal(stop_signal, SIG_DFL);
    std::raise(stop_signal);
  }
  return status;
}
