// Without libFuzzer: runs the target once on each file named.
#include <fstream>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    std::ifstream in(argv[i], std::ios::binary);
    if (!in) return 1;
    std::vector<uint8_t> data(std::istreambuf_iterator<char>(in), {});  // ASan sees overreads
    LLVMFuzzerTestOneInput(data.data(), data.size());
  }
  return argc < 2;  // no inputs test nothing
}
