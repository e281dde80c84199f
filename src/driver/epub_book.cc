#include "driver/epub_book.h"

#include <unistd.h>

#include <algorithm>
#include <iterator>

namespace karvex {

bool EpubChapters::Open(const RunOptions& options, const RunIo& io, Failure* failure) {
  for (const std::string& name : options.epub_text) {
    chapters_.push_back(std::make_unique<Chapter>());
    Chapter& chapter = *chapters_.back();
    chapter.name = name;
    std::string error;
    std::vector<uint32_t> characters;
    if (!io.read_file(name, &chapter.text, &error) ||
        !BodyCharacters(chapter.text, &characters, &error) ||
        !chapter.file.Start(name, io, &error)) {
      failure->Set(name, error);
      return false;
    }
    std::vector<uint32_t> both;
    std::set_union(characters_.begin(), characters_.end(), characters.begin(), characters.end(),
                   std::back_inserter(both));
    characters_.swap(both);
  }
  return true;
}

void EpubChapters::Rewrite(const std::string& dir, const GaijiClasses& classes,
                           std::vector<PendingFile*>* files) {
  std::string cwd(4096, '\0');
  cwd.resize(::getcwd(&cwd[0], cwd.size()) ? cwd.find('\0') : 0);
  for (const std::unique_ptr<Chapter>& chapter : chapters_) {
    std::string text, fault;
    // Well-formed when read: the rewrite cannot fail.
    ReplaceGaiji(chapter->text, classes, RelativeFolder(chapter->name, dir, cwd), &text, &fault);
    chapter->file.stream()->Write(text);
    files->push_back(&chapter->file);
  }
}

}  // namespace karvex
