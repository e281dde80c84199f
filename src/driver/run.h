// One run of the tool: the chosen source, the map file and the exit status.
#ifndef KARVEX_DRIVER_RUN_H_
#define KARVEX_DRIVER_RUN_H_

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "driver/options.h"
#include "face/rasterizer.h"
#include "gaiji/output_stream.h"

namespace karvex {

/// Exit statuses.
enum ExitStatus { kExitOk = 0, kExitFailure = 2, kExitUsage = 255 };

/// Everything a run touches outside its options; tests and fuzzers swap in their own.
struct RunIo {
  OutputStream* out = nullptr;  ///< standard output
  FILE* diagnostics = stderr;   ///< one "karvex: NAME: REASON" line per failed run
  /// Reads a whole source file; false with *error set to the reason.
  std::function<bool(const std::string& name, std::string* contents, std::string* error)>
      read_file;
  /// Reads a file a piece at a time, handing the pieces in order to `take` until the end
  /// or until `take` returns false; false with *error set to the reason only when the file
  /// cannot be opened or read. For texts of any length (--codes).
  std::function<bool(const std::string& name, const std::function<bool(std::string_view)>& take,
                     std::string* error)>
      read_pieces;
  /// Opens what the run writes for the file `name`: a temporary file beside it, *temp its
  /// name and *final_name the name it gets when whole; or, for a name that exists and is
  /// not a regular file (a device, a FIFO), that file itself, *temp empty. Null with errno
  /// set on failure (StartFile).
  std::function<FILE*(const std::string& name, std::string* temp, std::string* final_name)>
      start_file;
  /// Gives a whole temporary file its final name; false with errno set.
  std::function<bool(const std::string& temp, const std::string& name)> rename_file;
  /// Removes a temporary file the run has no use for.
  std::function<void(const std::string& name)> remove_file;
  /// True when `name` is an existing regular file (an XBM file a FreePWING list names).
  std::function<bool(const std::string& name)> is_file;
  /// Makes a folder; false with errno set on failure (EEXIST when it is there already).
  std::function<bool(const std::string& name)> make_folder;
  /// Opens a font face by name; null with *error on failure. A face other than the one
  /// named (the best match) comes with a one-line *notice.
  std::function<std::unique_ptr<FaceRasterizer>(const std::string& name, std::string* notice,
                                                std::string* error)>
      open_face;
  /// Shows how far a long face run is (codes done, codes in all), and is called once more
  /// when the run's loop has ended, however it ended; may be empty.
  std::function<void(uint64_t done, uint64_t total, bool ended)> progress;
  /// The signal that asked the run to end (SIGINT, SIGTERM, SIGHUP), or 0; may be empty.
  /// The sources look at it before each glyph.
  std::function<int()> stop_signal;
};

/// Runs the source named in `options` to its end and returns the exit status: 128 + N when
/// signal N asked it to end, its temporary files removed.
int Run(const RunOptions& options, const RunIo& io);

}  // namespace karvex

#endif  // KARVEX_DRIVER_RUN_H_
