// Fuzz target: the hex glyph reader on any text, with fuzzed options (see reader_target.h).
#include "readers/hex_reader.h"
#include "reader_target.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  karvex::fuzz::RunReaderTarget(karvex::ReadHex, /*bdf=*/false, data, size);
  return 0;
}
