// XHTML chapters: any bytes are read without a crash, BodyCharacters fails exactly where
// XmlFault finds a fault, and a well-formed chapter with every character of its body's
// text made an image is well-formed, has no such character left, and gives back the
// original byte for byte once each image is its alt text again.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "gaiji/epub_chapter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace karvex;
  const std::string document(reinterpret_cast<const char*>(data), size);
  std::vector<uint32_t> characters;
  std::string fault, rewritten;
  const bool well_formed = XmlFault(document).empty();
  if (BodyCharacters(document, &characters, &fault) != well_formed) std::abort();
  if (!well_formed) return 0;
  GaijiClasses classes;
  for (uint32_t c : characters) classes[c] = "g";
  if (!ReplaceGaiji(document, classes, "i", &rewritten, &fault) || !XmlFault(rewritten).empty() ||
      !BodyCharacters(rewritten, &characters, &fault) || !characters.empty()) {
    std::abort();
  }
  const std::string image = "img class=\"g\" src=\"i/gaiji-u";
  if (document.find(image) != std::string::npos) return 0;  // images of its own
  for (size_t at; (at = rewritten.find(image)) != std::string::npos;) {
    const size_t open = rewritten.rfind('<', at), alt = rewritten.find(" alt=\"", at) + 6;
    const size_t end = rewritten.find("\"/>", alt);
    const std::string character = rewritten.substr(alt, end - alt);
    rewritten.replace(open, end + 3 - open, character == "&quot;" ? "\"" : character);
  }
  if (rewritten != document) std::abort();
  return 0;
}
