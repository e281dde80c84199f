// The checks and layouts of the outputs that need them before anything is written: a
// FreePWING book's names, counts and heights, and a proof sheet's grid.
#ifndef KARVEX_DRIVER_OUTPUT_PLAN_H_
#define KARVEX_DRIVER_OUTPUT_PLAN_H_

#include "driver/source.h"
#include "gaiji/freepwing_writer.h"
#include "gaiji/proof_sheet.h"

namespace karvex {

/// Options that do not go together; false with *failure set.
bool CheckOptions(const RunOptions& options, bool file_source, Failure* failure);

/// Checks a FreePWING run against what DIR holds (read into *book) and makes DIR; false
/// with *failure set before anything is written. A face run's characters go to the first
/// of `faces` (the source's, then the fallback faces) that draws them.
bool StartFreePwing(const RunOptions& options, const RunIo& io, Source* source,
                    const CodeSet* set, const std::vector<FaceRasterizer*>& faces,
                    FreePwingBook* book, Failure* failure);

/// The grid of a proof sheet: the largest picture of the run (on a FreePWING book's sheet,
/// room for a full-width picture of each height), and a cell per glyph or lacking character.
ProofLayout LayoutProof(const RunOptions& options, Source* source, const CodeSet* set);

}  // namespace karvex

#endif  // KARVEX_DRIVER_OUTPUT_PLAN_H_
