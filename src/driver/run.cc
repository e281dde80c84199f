#include "driver/run.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>
#include <utility>
#include <vector>

#include "driver/code_set.h"
#include "driver/pending_file.h"
#include "face/face_source.h"
#include "gaiji/bmp_exporter.h"
#include "gaiji/charset.h"
#include "gaiji/freepwing_writer.h"
#include "gaiji/gaiji_writer.h"
#include "gaiji/proof_sheet.h"
#include "readers/bdf_reader.h"
#include "readers/hex_reader.h"

namespace karvex {

namespace {

// Code sets hold characters: codes 0 to 10FFFF but the surrogates.
constexpr int64_t kLastCharacter = 0x10FFFF;
// Lists of characters on standard error name this many.
constexpr size_t kNamed = 10;

// Compares the name's last four characters with a four-letter ASCII suffix, ignoring case.
bool HasSuffix(std::string_view name, std::string_view suffix) {
  if (name.size() < suffix.size()) return false;
  name.remove_prefix(name.size() - suffix.size());
  for (size_t i = 0; i < suffix.size(); ++i) {
    char c = name[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != suffix[i]) return false;
  }
  return true;
}

// "N of the characters: U+XXXX ..." for a list, the first ten named in ascending order.
std::string Characters(std::vector<uint32_t> codes, const char* what) {
  std::sort(codes.begin(), codes.end());
  std::string text = std::to_string(codes.size()) + what;
  for (size_t i = 0; i < codes.size() && i < kNamed; ++i) {
    char code[16];
    std::snprintf(code, sizeof code, " U+%04X", codes[i]);
    text += code;
  }
  return codes.size() > kNamed ? text + " ..." : text;
}

// Names the sizes a bitmap face has instead of the one asked for, and the options for the
// first of them that the output can use (a BMP picture's sides are multiples of 8).
std::string NoSizeMessage(uint32_t em, const std::vector<Strike>& strikes, bool bmp) {
  std::string sizes, hint;
  for (const Strike& strike : strikes) {
    sizes += (sizes.empty() ? "; it has " : ", ") + std::to_string(strike.em);
    if (hint.empty() && (bmp ? strike.em % 8 == 0 : strike.em <= 48)) {
      hint = " (try -x=" + std::to_string(std::min(strike.width, strike.em)) +
             " -y=" + std::to_string(strike.em) + ")";
    }
  }
  return "no " + std::to_string(em) + "-pixel size" + sizes + hint;
}

// A code-set run's characters, in ascending order.
struct CodeSet {
  std::vector<uint32_t> codes;
};

// Reads the characters of --codes, or takes the codes of the range that are characters,
// and keeps those --missing-from names a set without; false with *failure set.
bool ReadCodeSet(const RunOptions& options, const RunIo& io, CodeSet* set, Failure* failure) {
  const bool input = options.codes_file == "-";
  const std::string name = input ? "standard input" : options.codes_file;
  if (!options.codes_file.empty()) {
    std::string text, error;
    if (!io.read_file(input ? "/dev/stdin" : options.codes_file, &text, &error) ||
        !CodeSetOfText(text, &set->codes, &error)) {
      failure->Set(name, error);
      return false;
    }
  } else {
    for (int64_t code = std::max<int64_t>(0, options.first_code);
         code <= std::min<int64_t>(kLastCharacter, options.last_code); ++code) {
      if (code < 0xD800 || code > 0xDFFF) set->codes.push_back(uint32_t(code));  // no surrogates
    }
  }
  if (!options.missing_from.empty() && !KeepMissingFrom(options.missing_from, &set->codes)) {
    failure->Set(options.missing_from, "unknown character set");
    return false;
  }
  if (set->codes.empty()) {  // not a fault: the book needs no gaiji
    std::fprintf(io.diagnostics, "karvex: %s: %s; nothing to write\n",
                 (name.empty() ? options.source : name).c_str(),
                 options.missing_from.empty() ? "no characters"
                 : ("every character is in " + options.missing_from).c_str());
  }
  return true;
}

// What a BDF font asks of a code-set run: the font's code of each character, through its
// own encoding when that is not Unicode; characters it has no code for are missing.
bool WantedOfBdf(std::string_view font, const CodeSet& set, std::vector<WantedGlyph>* wanted,
                 std::string* error) {
  std::string registry, charset;
  BdfCharset(font, &registry, &charset);
  const bool unicode = FontEncoding::IsUnicode(registry, charset);
  FontEncoding encoding;
  if (!unicode && !encoding.ForRegistry(registry, charset)) {
    *error = "its encoding " + registry + "-" + charset + " is none the C library converts to";
    return false;
  }
  for (uint32_t code : set.codes) {
    int32_t font_code = int32_t(code);
    const bool in_font = unicode || encoding.FontCode(code, &font_code);
    wanted->push_back({code, font_code, in_font});
  }
  return true;
}

// The faces of --fallback, in order, which draw what the source lacks or the cell cuts.
class Fallbacks {
 public:
  Fallbacks(const RunOptions& options, const RunIo& io) : options_(options), io_(io) {}

  /// Opens every face; false with *failure set when one does not open.
  bool Open(Failure* failure) {
    for (const std::string& name : options_.fallback) {
      std::string notice, error;
      faces_.push_back({name, io_.open_face(name, &notice, &error), 0});
      if (!faces_.back().face) {
        failure->Set(name, error);
        return false;
      }
      if (!notice.empty()) std::fprintf(io_.diagnostics, "karvex: %s\n", notice.c_str());
    }
    return true;
  }
  /// The faces draw in `layout`; false with *failure set when one lacks its size.
  bool UseLayout(const FaceLayout& layout, Failure* failure) {
    layout_ = layout;
    for (Face& face : faces_) {
      std::vector<Strike> strikes;
      for (uint32_t em : layout.Ems()) {
        if (!face.face->HasSize(em, &strikes)) {
          failure->Set(face.name, NoSizeMessage(em, strikes, options_.bmp_mode()));
          return false;
        }
      }
    }
    ready_ = true;
    return true;
  }
  /// Puts the glyph of the first face that has the character whole; false when none has.
  bool Substitute(GlyphStream* stream, Glyph* glyph, Failure* failure) {
    if (faces_.empty()) return false;
    // A .hex or BDF source's faces draw in the source's cell, known by now.
    if (!ready_) {
      FaceLayout layout;
      layout.view = FaceTextDump(uint32_t(stream->cell().width), uint32_t(stream->cell().height),
                                 uint32_t(options_.row_offset));
      if (!UseLayout(layout, failure)) {
        faces_.clear();
        return false;
      }
    }
    for (size_t i = 0; i < faces_.size(); ++i) {
      Face& face = faces_[i];
      std::string error;
      if (!face.face->HasGlyph(glyph->unicode)) continue;
      if (!pictures_.Draw(face.face.get(), glyph->unicode, layout_, &error)) {
        failure->Set(face.name, error);
        continue;
      }
      if (pictures_.cut()) continue;
      pictures_.Into(glyph);
      glyph->face = int(i + 1);
      ++face.drawn;
      stream->Put(glyph);
      return true;
    }
    return false;
  }
  /// Says how many characters came from each face.
  void Tell() const {
    for (const Face& face : faces_) {
      if (face.drawn > 0) {
        std::fprintf(io_.diagnostics, "karvex: %lld character%s from %s\n",
                     static_cast<long long>(face.drawn), face.drawn == 1 ? "" : "s",
                     face.name.c_str());
      }
    }
  }

 private:
  struct Face {
    std::string name;
    std::unique_ptr<FaceRasterizer> face;
    int64_t drawn;
  };
  const RunOptions& options_;
  const RunIo& io_;
  std::vector<Face> faces_;
  FaceLayout layout_;
  bool ready_ = false;
  FacePictures pictures_;
};

// Says that a cell is none of the 16-dot cells FreePWING takes.
std::string NoFreePwingCell(CellSize cell) {
  return "a " + std::to_string(cell.width) + "x" + std::to_string(cell.height) +
         " cell; FreePWING takes 8x16 (half width) and 16x16 (full width)";
}

// The source of a run, made ready up front so that a source that cannot be had fails
// before anything is written.
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
};

bool PrepareSource(const RunOptions& options, const RunIo& io, const CodeSet* set,
                   Source* source, Failure* failure) {
  std::string error;
  source->bdf = HasSuffix(options.source, ".bdf");
  source->face = !source->bdf && !HasSuffix(options.source, ".hex");
  if (!source->face) {
    ReadOptions& read = source->read;
    read.first_code = options.first_code;
    read.last_code = options.last_code;
    read.start_unicode = options.start_unicode;
    read.forced_width = options.cell_width;
    read.forced_height = options.cell_height;
    if (set) read.wanted = &source->wanted;
    bool ok = io.read_file(options.source, &source->text, &error);
    if (ok && set && source->bdf) {
      ok = WantedOfBdf(source->text, *set, &source->wanted, &error);
    } else if (ok && set) {  // a .hex file's codes are Unicode
      for (uint32_t code : set->codes) source->wanted.push_back({code, int32_t(code)});
    }
    if (!ok) failure->Set(options.source, error);
    return ok;
  }
  std::string notice;
  source->rasterizer = io.open_face(options.source, &notice, &error);
  if (!source->rasterizer) {
    failure->Set(options.source, error);
    return false;
  }
  if (!notice.empty()) std::fprintf(io.diagnostics, "karvex: %s\n", notice.c_str());
  FaceRun& run = source->run;
  run.width = options.cell_width == 0 ? 16 : options.cell_width;
  run.height = options.cell_height == 0 ? 16 : options.cell_height;
  run.first_code = options.first_code;
  run.last_code = options.last_code;
  run.codes = set ? &set->codes : nullptr;
  run.start_unicode = uint32_t(options.start_unicode);
  run.progress = io.progress;
  run.layout.row_offset = uint32_t(options.row_offset);
  if (options.freepwing()) {
    // One width for the run when -x or -y names its 16-dot cell; by character otherwise.
    run.layout.heights = options.heights;
    const bool forced = options.cell_width != 0 || options.cell_height != 0;
    run.layout.width = !forced ? 0 : run.width == 8 && run.height == 16 ? 1
                       : run.width == 16 && run.height == 16 ? 2 : -1;
    if (run.layout.width < 0) {
      failure->Set(options.source, NoFreePwingCell(CellSize{run.width, run.height}));
      return false;
    }
  } else if (!options.bmp_mode()) {
    run.layout.view = FaceTextDump(uint32_t(run.width), uint32_t(run.height), run.layout.row_offset);
  } else if (!BmpView(uint32_t(run.width), uint32_t(run.height), &run.layout.view)) {
    failure->Set(options.source, "a " + std::to_string(run.width) + "x" +
                                     std::to_string(run.height) + " cell gives no BMP picture");
    return false;
  }
  // A bitmap face without the size would give blank glyphs only: it is refused up front.
  const bool some = set ? !set->codes.empty() : run.first_code <= run.last_code;
  std::vector<Strike> strikes;
  for (uint32_t em : run.layout.Ems()) {
    if (some && !source->rasterizer->HasSize(em, &strikes)) {
      failure->Set(options.source, NoSizeMessage(em, strikes, options.bmp_mode()));
      return false;
    }
  }
  return true;
}

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

// Reads a .hex or BDF source once without writing anything: its cell, and the Unicode
// value of each glyph it would write or character it would lack, in the order of the run.
CellSize DryRun(const Source& source, std::vector<int32_t>* unicodes) {
  struct GlyphList : GlyphOutput {
    void Put(const Glyph& glyph) override { unicodes->push_back(glyph.unicode); }
    std::vector<int32_t>* unicodes;
  } list;
  list.unicodes = unicodes;
  GlyphStream stream(0, {&list});
  std::string error;
  (source.bdf ? ReadBdf : ReadHex)(source.text, source.read, &stream, &error);
  for (uint32_t code : stream.lacking()) unicodes->push_back(int32_t(code));
  return stream.cell();
}

// The layout of a proof sheet: the largest picture of the run and a cell per glyph or
// lacking character.
ProofLayout LayoutProof(const Source& source, const CodeSet* set) {
  if (!source.face) {
    std::vector<int32_t> unicodes;
    const CellSize cell = DryRun(source, &unicodes);
    return ProofLayout(cell.width, cell.height, int64_t(unicodes.size()));
  }
  const FaceRun& run = source.run;
  FaceView views[kMaxPictures];
  uint32_t width = 0, height = 0;
  for (int32_t code : {0x41, 0x3042}) {  // each width
    run.layout.Views(code, views);
    width = std::max(width, views[0].columns);
    height = std::max(height, views[0].rows);
  }
  const int64_t cells = set ? int64_t(set->codes.size())
                        : std::max<int64_t>(0, run.last_code - run.first_code + 1);
  return ProofLayout(int32_t(width), int32_t(height), cells);
}

// Options that do not go together; false with *failure set.
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
  if (file_source && !options.fallback.empty() && !options.code_set()) {
    failure->Set("--fallback", "a .hex or BDF source takes fallback faces for --codes or "
                               "--missing-from, the characters it may lack");
  }
  return !failure->happened();
}

// Checks a FreePWING run up front and makes DIR; false with *failure set.
bool StartFreePwing(const RunOptions& options, Source* source, const CodeSet* set,
                    FreePwingBook* book, Failure* failure) {
  const std::string& dir = options.freepwing_dir;
  std::string error;
  if (!book->Read(dir, &error)) {
    failure->Set(dir, error);
    return false;
  }
  std::vector<std::pair<int32_t, bool>> glyphs;
  if (source->face) {
    FaceView views[kMaxPictures];
    for (uint32_t code : set->codes) {
      source->run.layout.Views(int32_t(code), views);
      glyphs.push_back({int32_t(code), views[0].columns > 8});
    }
  } else {
    std::vector<int32_t> unicodes;
    const CellSize cell = DryRun(*source, &unicodes);
    if (!(cell.height == 16 && (cell.width == 8 || cell.width == 16))) {
      failure->Set(options.source, NoFreePwingCell(cell));
      return false;
    }
    for (int32_t unicode : unicodes) glyphs.push_back({unicode, cell.width == 16});
  }
  if (!CheckFreePwing(options, *book, glyphs, failure)) return false;
  if (::mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST) {
    failure->Set(dir, std::strerror(errno));
    return false;
  }
  return true;
}

// Lets the run's files be written once the first glyph is on its way.
class Committer : public GlyphOutput {
 public:
  explicit Committer(std::vector<PendingFile*> files, Failure* failure)
      : files_(std::move(files)), failure_(failure) {}
  void Put(const Glyph&) override {
    if (!committed_) Commit();
  }
  void Commit() {
    committed_ = true;
    for (PendingFile* file : files_) {
      if (file->started() && !file->Commit()) failure_->Set(file->name(), std::strerror(errno));
    }
  }
  bool committed() const { return committed_; }

 private:
  std::vector<PendingFile*> files_;
  Failure* failure_;
  bool committed_ = false;
};

// Writes the characters as UTF-8 text, one a line.
void WriteCharacters(const std::vector<uint32_t>& codes, OutputStream* out) {
  for (uint32_t code : codes) {
    char text[5];
    size_t n = 0;
    if (code < 0x80) {
      text[n++] = char(code);
    } else if (code < 0x800) {
      text[n++] = char(0xC0 | code >> 6);
    } else if (code < 0x10000) {
      text[n++] = char(0xE0 | code >> 12);
    } else {
      text[n++] = char(0xF0 | code >> 18);
      text[n++] = char(0x80 | (code >> 12 & 0x3F));
    }
    if (code >= 0x800) text[n++] = char(0x80 | (code >> 6 & 0x3F));
    if (code >= 0x80) text[n++] = char(0x80 | (code & 0x3F));
    text[n++] = '\n';
    out->Write(std::string_view(text, n));
  }
}

}  // namespace

int Run(const RunOptions& options, const RunIo& io) {
  Failure failure;
  auto fail = [&] {
    std::fprintf(io.diagnostics, "karvex: %s: %s\n", failure.name.c_str(), failure.reason.c_str());
    return kExitFailure;
  };
  // Nothing is read or written until the characters, the files the run writes, the
  // source and the fallback faces are all to be had; a run that then fails before its
  // first glyph leaves those files as they were.
  const bool file_source = HasSuffix(options.source, ".bdf") || HasSuffix(options.source, ".hex");
  if (!CheckOptions(options, file_source, &failure)) return fail();
  // A FreePWING book takes a face's characters as a set, each of them or none.
  std::unique_ptr<CodeSet> set;
  if (options.code_set() || (options.freepwing() && !file_source)) {
    set = std::make_unique<CodeSet>();
    if (!ReadCodeSet(options, io, set.get(), &failure)) return fail();
  }
  PendingFile map, lacking, proof;
  const auto remove = [&io](const std::string& name) { io.remove_file(name); };
  for (auto [file, name] : {std::pair{&map, &options.map_name}, {&lacking, &options.lacking_file},
                            {&proof, &options.proof_file}}) {
    std::string error;
    if (!name->empty() && !file->Start(*name, io.open_file, remove, &error)) {
      failure.Set(*name, error);
      return fail();
    }
  }
  Source source;
  Fallbacks fallbacks(options, io);
  FreePwingBook book;
  if (!PrepareSource(options, io, set.get(), &source, &failure) || !fallbacks.Open(&failure) ||
      (source.face && !options.fallback.empty() &&
       !fallbacks.UseLayout(source.run.layout, &failure)) ||
      (options.freepwing() && !StartFreePwing(options, &source, set.get(), &book, &failure))) {
    return fail();
  }

  Committer committer({&map, &lacking, &proof}, &failure);
  GaijiWriter writer(io.out, map.started() ? map.stream() : nullptr, options.off_char,
                     options.header, !options.bmp_mode());
  BmpExporter bmp(io.create_file, &failure);
  FreePwingWriter freepwing(options.freepwing_dir, book, io.create_file, &failure);
  std::vector<GlyphOutput*> outputs = {&committer};
  if (options.freepwing()) {
    outputs.push_back(&freepwing);
  } else {
    outputs.push_back(&writer);
    if (options.bmp_mode()) outputs.push_back(&bmp);
  }
  std::unique_ptr<ProofSheet> sheet;
  if (proof.started()) {
    sheet = std::make_unique<ProofSheet>(LayoutProof(source, set.get()), options.freepwing(),
                                         proof.stream());
    outputs.push_back(sheet.get());
  }
  GlyphStream stream(options.start_eb, outputs);
  stream.substitute = [&](Glyph* glyph) { return fallbacks.Substitute(&stream, glyph, &failure); };
  if (source.face) {
    ReadFace(source.rasterizer.get(), options.source, source.run, &stream, &failure);
  } else {
    std::string error;
    if (!(source.bdf ? ReadBdf : ReadHex)(source.text, source.read, &stream, &error)) {
      failure.Set(options.source, error);
    }
  }
  for (GlyphOutput* output : outputs) output->Finish(stream.lacking());

  // A run that failed before its first glyph leaves its files alone; any other writes them.
  if (!committer.committed()) {
    if (failure.happened()) {
      for (PendingFile* file : {&map, &lacking, &proof}) file->Abandon();
    } else {
      committer.Commit();
    }
  }
  WriteCharacters(stream.lacking(), lacking.stream());
  if (!io.out->Flush()) failure.Set("standard output", std::strerror(io.out->error()));
  for (PendingFile* file : {&map, &lacking, &proof}) {
    if (!file->Close()) failure.Set(file->name(), std::strerror(errno));
  }
  fallbacks.Tell();
  if (!stream.cut().empty()) {
    std::fprintf(io.diagnostics, "karvex: %s: the cell cuts %s\n", options.source.c_str(),
                 Characters(stream.cut(), " of the glyphs:").c_str());
  }
  if (stream.first_non_eb() >= 0) {
    std::fprintf(io.diagnostics,
                 "karvex: the EB codes leave A121..FE7E at glyph %lld, U+%04X (%X)\n",
                 static_cast<long long>(stream.first_non_eb() + 1),
                 uint32_t(stream.non_eb_unicode()), uint32_t(stream.non_eb_code()));
  }
  if (!stream.lacking().empty()) {
    failure.Set(options.source, "lacks " + Characters(stream.lacking(), " of the characters:"));
  }
  return failure.happened() ? fail() : kExitOk;
}

}  // namespace karvex
