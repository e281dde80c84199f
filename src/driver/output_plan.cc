#include "driver/output_plan.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>
#include <utility>

namespace karvex {

namespace {

// A FreePWING book's checks before anything is written: names new to DIR and to each
// other, at most 8,192 glyphs of a width, the heights of the lists DIR holds. `glyphs`
// holds each glyph's Unicode value and width (true: full).
bool CheckFreePwing(const RunOptions& options, const FreePwingBook& book,
                    const std::vector<std::pair<int32_t, bool>>& glyphs, Failure* failure) {
  const std::string& dir = options.freepwing_dir;
  const int heights = int(options.heights.size());
  for (int full = 0; full < 2; ++full) {
    if (book.heights[full] != 0 && book.heights[full] != heights) {
      failure->Set(dir, std::string(full ? "fullchar.txt" : "halfchar.txt") + " gives " +
                            std::to_string(book.heights[full]) + " heights a glyph, this run " +
                            std::to_string(heights) + " (--heights)");
      return false;
    }
  }
  std::set<std::string> names[2];
  int64_t count[2] = {book.count[0], book.count[1]};
  for (const auto& [unicode, full] : glyphs) {
    const std::string name = FreePwingName(unicode);
    if (book.names[full].count(name) || !names[full].insert(name).second) {
      failure->Set(dir, name + " is defined already");
      return false;
    }
    if (++count[full] > kFreePwingLimit) {
      failure->Set(dir, std::string("more than 8192 ") + (full ? "full" : "half") +
                            "-width glyphs, FreePWING's limit");
      return false;
    }
  }
  return true;
}

}  // namespace

bool CheckOptions(const RunOptions& options, bool file_source, Failure* failure) {
  if (options.freepwing()) {
    if (options.start_eb_given || !options.map_name.empty() || options.bmp_mode()) {
      failure->Set("--freepwing", "FreePWING numbers the gaiji from A121 in the order of its "
                                  "lists, which are the map: no -e, -m or -o=bmp");
    } else if (options.freepwing_dir.find_first_of(" \t") != std::string::npos) {
      failure->Set(options.freepwing_dir, "FreePWING cannot read paths with blanks");
    } else if (file_source && options.heights.size() != 1) {
      failure->Set("--heights", "a .hex or BDF source has its glyphs at 16 rows only");
    }
  } else if (options.heights.size() != 1) {
    failure->Set("--heights", "the heights of a FreePWING book go with --freepwing");
  }
  if (options.epub()) {
    if (options.start_eb_given || !options.map_name.empty() || options.bmp_mode()) {
      failure->Set("--epub", "an EPUB book's gaiji are images named after their characters: "
                             "no -e, -m or -o=bmp");
    } else if (options.freepwing()) {
      failure->Set("--epub", "one book a run: --epub or --freepwing");
    } else if (!file_source && (options.cell_width != 0 || options.cell_height != 0)) {
      failure->Set("--epub", "a face draws its images at --epub-size, not at -x or -y");
    }
  } else if (!options.epub_text.empty()) {
    failure->Set("--epub-text", "chapters are rewritten with the images of --epub=DIR");
  }
  if (file_source && !options.fallback.empty() && !options.code_set()) {
    failure->Set("--fallback", "a .hex or BDF source takes fallback faces for --codes or "
                               "--missing-from, the characters it may lack");
  }
  return !failure->happened();
}

bool StartFreePwing(const RunOptions& options, const RunIo& io, Source* source,
                    const CodeSet* set, const std::vector<FaceRasterizer*>& faces,
                    FreePwingBook* book, Failure* failure) {
  const std::string& dir = options.freepwing_dir;
  for (bool full : {false, true}) {
    const std::string path = FreePwingList(dir, full);
    std::string text, error;
    if (io.read_file(path, &text, &error)) {
      if (!book->Read(full, std::move(text), io.is_file, &error)) {
        failure->Set(path, error);
        return false;
      }
    } else if (error != std::strerror(ENOENT)) {  // a list not there yet is new
      failure->Set(path, error);
      return false;
    }
  }
  std::vector<std::pair<int32_t, bool>> glyphs;
  if (source->face) {
    // Each character at the width its run will give it, from the face that will draw it;
    // what no face has is lacking and takes no name.
    FacePictures scratch;
    for (uint32_t code : set->codes) {
      bool full;
      if (PlanCharacter(faces, int32_t(code), source->run.layout, &scratch, &full)) {
        glyphs.push_back({int32_t(code), full});
      }
    }
  } else {
    const DryRun& dry_run = DryRunOf(source);
    const CellSize cell = dry_run.cell;
    if (!(cell.height == 16 && (cell.width == 8 || cell.width == 16))) {
      failure->Set(options.source, NoFreePwingCell(cell));
      return false;
    }
    for (int32_t unicode : dry_run.unicodes) glyphs.push_back({unicode, cell.width == 16});
  }
  if (!CheckFreePwing(options, *book, glyphs, failure)) return false;
  if (!io.make_folder(dir) && errno != EEXIST) {
    failure->Set(dir, std::strerror(errno));
    return false;
  }
  return true;
}

ProofLayout LayoutProof(const RunOptions& options, Source* source, const CodeSet* set) {
  const auto finish = [&](ProofLayout layout) {
    // A FreePWING book's cells hold a picture of each height in its FreePWING cell.
    if (options.freepwing()) layout = ProofLayout(0, 0, layout.cells, options.heights);
    layout.font_codes = source->bdf;
    return layout;
  };
  if (!source->face) {
    const DryRun& dry_run = DryRunOf(source);
    return finish(
        ProofLayout(dry_run.cell.width, dry_run.cell.height, int64_t(dry_run.unicodes.size())));
  }
  // A face's FreePWING book takes its characters as a set.
  if (options.freepwing()) return finish(ProofLayout(0, 0, int64_t(set->codes.size())));
  const FaceRun& run = source->run;
  FaceView views[kMaxPictures];
  uint32_t width = 0, height = 0;
  for (bool full : {false, true}) {
    run.layout.Views(full, views);
    width = std::max(width, views[0].columns);
    height = std::max(height, views[0].rows);
  }
  const int64_t cells = set ? int64_t(set->codes.size())
                        : std::max<int64_t>(0, run.last_code - run.first_code + 1);
  return finish(ProofLayout(int32_t(width), int32_t(height), cells));
}

}  // namespace karvex
