// Fuzz target: the BDF reader on any text, with fuzzed options (see reader_target.h).
#include "readers/bdf_reader.h"
#include "reader_target.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  karvex::fuzz::RunReaderTarget(karvex::ReadBdf, /*bdf=*/true, data, size);
  return 0;
}
