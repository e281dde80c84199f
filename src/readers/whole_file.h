// Reading a whole input file: a glyph file or a font file.
#ifndef KARVEX_READERS_WHOLE_FILE_H_
#define KARVEX_READERS_WHOLE_FILE_H_

#include <string>

namespace karvex {

/// Reads the file `name` whole into *contents; false with *error set to the system's reason.
/// A FIFO is read as `cat` reads it: the open waits for a writer, the read for its end.
bool ReadWholeFile(const std::string& name, std::string* contents, std::string* error);

}  // namespace karvex

#endif  // KARVEX_READERS_WHOLE_FILE_H_
