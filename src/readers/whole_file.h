// Reading an input file: a glyph file, a font file or a FreePWING list whole, a text a
// piece at a time.
#ifndef KARVEX_READERS_WHOLE_FILE_H_
#define KARVEX_READERS_WHOLE_FILE_H_

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace karvex {

/// The most a whole-file read takes: far past any font or glyph file, and a stop for an
/// input that never ends (/dev/zero).
constexpr size_t kMaxWholeFile = size_t{1} << 30;

/// Reads the file `name` whole into *contents; false with *error set to the system's reason,
/// or when the file is longer than kMaxWholeFile or does not fit in memory. A FIFO is read
/// as `cat` reads it: the open waits for a writer, the read for its end. A signal that
/// interrupts the wait (EINTR) ends the read: the run is asked to stop.
bool ReadWholeFile(const std::string& name, std::string* contents, std::string* error);

/// Reads the file `name` 64 KiB at a time, handing each piece to `take` until the end or
/// until `take` returns false; false with *error set to the system's reason when the file
/// cannot be opened or read (a signal's EINTR among them).
bool ReadInPieces(const std::string& name, const std::function<bool(std::string_view)>& take,
                  std::string* error);

}  // namespace karvex

#endif  // KARVEX_READERS_WHOLE_FILE_H_
