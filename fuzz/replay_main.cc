// Without libFuzzer: runs the target once on each file named.
#include <fstream>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    std::ifstream in(argv[i], std::ios::binary);
    std::string bytes(std::istreambuf_iterator<char>(in), {});
    std::vector<uint8_t> data(bytes.begin(), bytes.end());  // exactly sized: ASan sees overreads
    if (!in) return 1;
    LLVMFuzzerTestOneInput(data.data(), data.size());
  }
  return argc < 2;  // no inputs test nothing
}
