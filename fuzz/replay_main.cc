// Runs a fuzz target over saved inputs without libFuzzer, so that the normal build and
// ctest replay every corpus file. Arguments are files or folders of files.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace {

bool IsDirectory(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The regular files of a folder, by name, so that a replay runs in a fixed order.
bool ListFolder(const std::string& folder, std::vector<std::string>* files) {
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return false;
  std::vector<std::string> names;
  while (dirent* entry = ::readdir(dir)) {
    std::string name = entry->d_name;
    if (name != "." && name != ".." && !IsDirectory(folder + "/" + name)) names.push_back(name);
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) files->push_back(folder + "/" + name);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    std::string path = argv[i];
    if (IsDirectory(path)) {
      if (!ListFolder(path, &files)) {
        std::fprintf(stderr, "replay: cannot list %s\n", path.c_str());
        return 1;
      }
    } else {
      files.push_back(path);
    }
  }
  if (files.empty()) {
    std::fprintf(stderr, "replay: no inputs given\n");
    return 1;
  }
  for (const std::string& file : files) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "replay: cannot read %s\n", file.c_str());
      return 1;
    }
    std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
    // A copy of exactly the input's size, so that a read past its end is caught.
    std::vector<uint8_t> exact(data);
    exact.shrink_to_fit();
    LLVMFuzzerTestOneInput(exact.data(), exact.size());
  }
  std::printf("replay: %zu inputs ran\n", files.size());
  return 0;
}
