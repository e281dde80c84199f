// The EPUB gaiji parts joined for the book tests, as a run will join them:
//   epub_parts DIR HEIGHT CHAPTER.xhtml FILE.hex...
// writes DIR/gaiji-uXXXX.png for each character of the chapter's body text that one of
// the .hex files has (the first that has it), DIR/gaiji.css, and then replaces the chapter
// with its text with the images in place.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "gaiji/epub_chapter.h"
#include "gaiji/epub_images.h"
#include "readers/hex_reader.h"

namespace {

std::string Read(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int Fail(const std::string& name, const std::string& reason) {
  std::fprintf(stderr, "epub_parts: %s: %s\n", name.c_str(), reason.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace karvex;
  if (argc < 5) return Fail("usage", "epub_parts DIR HEIGHT CHAPTER.xhtml FILE.hex...");
  const std::string chapter = Read(argv[3]);
  std::vector<uint32_t> characters;
  std::string fault;
  if (!BodyCharacters(chapter, &characters, &fault)) return Fail(argv[3], fault);
  Failure failure;
  EpubImageWriter writer(argv[1], std::atoi(argv[2]), nullptr, &failure);
  for (int i = 4; i < argc; ++i) {
    std::vector<WantedGlyph> wanted;
    for (uint32_t c : characters) {
      if (!writer.classes().count(c)) wanted.push_back({c, int32_t(c)});
    }
    ReadOptions options;
    options.wanted = &wanted;
    GlyphStream stream(0xA121, {&writer});
    if (!ReadHex(Read(argv[i]), options, &stream, &fault)) return Fail(argv[i], fault);
  }
  writer.Finish({});
  if (failure.happened()) return Fail(failure.name, failure.reason);
  char cwd[4096];
  if (!::getcwd(cwd, sizeof cwd)) return Fail(".", std::strerror(errno));
  std::string rewritten;
  ReplaceGaiji(chapter, writer.classes(), RelativeFolder(argv[3], argv[1], cwd), &rewritten,
               &fault);
  if (!ReplaceFile(argv[3], rewritten)) return Fail(argv[3], std::strerror(errno));
  return 0;
}
