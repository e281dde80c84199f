// The XHTML chapters of an EPUB book whose characters become gaiji images: read and checked
// before anything is written, and rewritten with the images in their place once the run
// has them all.
#ifndef KARVEX_DRIVER_EPUB_BOOK_H_
#define KARVEX_DRIVER_EPUB_BOOK_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "driver/pending_file.h"
#include "driver/run.h"
#include "gaiji/epub_chapter.h"
#include "gaiji/glyph_stream.h"

namespace karvex {

class EpubChapters {
 public:
  /// Reads every chapter of --epub-text, checks that it is well-formed XML and opens it to
  /// be replaced, so that one that cannot be read, is no XML or cannot be written fails
  /// before anything is written; false with *failure set ("line N: ...").
  bool Open(const RunOptions& options, const RunIo& io, Failure* failure);
  /// The characters of the chapters' body text, each once, in ascending order.
  const std::vector<uint32_t>& characters() const { return characters_; }
  /// Writes each chapter with the image of every character of `classes` in its place, the
  /// images in `dir`, and adds its file to `files`, which the run renames together.
  void Rewrite(const std::string& dir, const GaijiClasses& classes,
               std::vector<PendingFile*>* files);

 private:
  struct Chapter {
    std::string name;
    std::string text;
    PendingFile file;
  };
  std::vector<std::unique_ptr<Chapter>> chapters_;
  std::vector<uint32_t> characters_;
};

}  // namespace karvex

#endif  // KARVEX_DRIVER_EPUB_BOOK_H_
