// The BDF reader on any text, with fuzzed options.
#include "fuzz_input.h"
#include "readers/bdf_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return karvex::fuzz::RunReader(karvex::ReadBdf, data, size);
}
