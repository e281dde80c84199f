// The source of a run, made ready before anything is written: a .hex file or BDF font
// read whole, or a face opened and checked for the sizes the run draws at.
#ifndef KARVEX_DRIVER_SOURCE_H_
#define KARVEX_DRIVER_SOURCE_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "driver/run.h"
#include "face/face_source.h"
#include "gaiji/glyph_stream.h"
#include "readers/read_options.h"

namespace karvex {

/// True for a name that ends in the four-letter ASCII `suffix`, case ignored.
bool HasSuffix(std::string_view name, std::string_view suffix);

/// Names the sizes a bitmap face has instead of the em asked for, and the options for the
/// first of them that the output can use (a BMP picture's sides are multiples of 8).
std::string NoSizeMessage(uint32_t em, const std::vector<Strike>& strikes, bool bmp);

/// A code-set run's characters, in ascending order.
struct CodeSet {
  std::vector<uint32_t> codes;
};

/// Reads the characters of --codes, or takes those of EPUB chapters or the codes of the
/// range that are characters, and keeps those --missing-from names a set without; false
/// with *failure set. Combining
/// marks kept from a text are named on io.diagnostics.
bool ReadCodeSet(const RunOptions& options, const RunIo& io,
                 const std::vector<uint32_t>& chapter_codes, CodeSet* set, Failure* failure);

/// What a .hex or BDF source gives, learnt by reading it once without writing anything: its
/// cell, and the Unicode value of each glyph it would write or character it would lack, in
/// the order of the run.
struct DryRun {
  CellSize cell{0, 0};
  std::vector<int32_t> unicodes;
};

struct Source {
  bool face = false;
  bool bdf = false;
  // .hex and BDF files
  std::string text;
  ReadOptions read;
  std::vector<WantedGlyph> wanted;
  // faces
  std::unique_ptr<FaceRasterizer> rasterizer;
  FaceRun run;
  std::unique_ptr<DryRun> dry_run;  // made by DryRunOf
};

/// Makes the source of `options` ready, for the characters of `set` when not null; false
/// with *failure set when it cannot be had.
bool PrepareSource(const RunOptions& options, const RunIo& io, const CodeSet* set,
                   Source* source, Failure* failure);

/// The dry run of a .hex or BDF source, made the first time it is asked for.
const DryRun& DryRunOf(Source* source);

/// Says that a cell is none of the 16-dot cells FreePWING takes.
std::string NoFreePwingCell(CellSize cell);

}  // namespace karvex

#endif  // KARVEX_DRIVER_SOURCE_H_
