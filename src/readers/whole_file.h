// Reading an input file: a glyph file or a font file whole, a text a piece at a time.
#ifndef KARVEX_READERS_WHOLE_FILE_H_
#define KARVEX_READERS_WHOLE_FILE_H_

#include <functional>
#include <string>
#include <string_view>

namespace karvex {

/// Reads the file `name` whole into *contents; false with *error set to the system's reason.
/// A FIFO is read as `cat` reads it: the open waits for a writer, the read for its end.
bool ReadWholeFile(const std::string& name, std::string* contents, std::string* error);

/// Reads the file `name` 64 KiB at a time, handing each piece to `take` until the end or
/// until `take` returns false; false with *error set to the system's reason when the file
/// cannot be opened or read.
bool ReadInPieces(const std::string& name, const std::function<bool(std::string_view)>& take,
                  std::string* error);

}  // namespace karvex

#endif  // KARVEX_READERS_WHOLE_FILE_H_
