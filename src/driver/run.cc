#include "driver/run.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <vector>

#include "driver/code_set.h"
#include "driver/epub_book.h"
#include "driver/fallback_faces.h"
#include "driver/output_plan.h"
#include "driver/pending_file.h"
#include "driver/source.h"
#include "gaiji/bmp_exporter.h"
#include "gaiji/epub_images.h"
#include "gaiji/freepwing_writer.h"
#include "gaiji/gaiji_writer.h"
#include "readers/bdf_reader.h"
#include "readers/hex_reader.h"

namespace karvex {

namespace {

// "at the top", "at the top and bottom", "at the top, left and right": the edges past which
// a cell cut ink.
std::string Edges(uint8_t edges) {
  std::vector<const char*> names;
  for (auto [edge, name] : {std::pair{kCutTop, "top"}, {kCutBottom, "bottom"}, {kCutLeft, "left"},
                            {kCutRight, "right"}}) {
    if (edges & edge) names.push_back(name);
  }
  std::string text = "at the";
  for (size_t i = 0; i < names.size(); ++i) {
    text += i == 0 ? " " : i + 1 == names.size() ? " and " : ", ";
    text += names[i];
  }
  return text;
}

// Says on standard error what the run met without failing: notes on the source, the
// fallback faces' share, the cuts by cell and edge, the codes a face has no glyph for and
// where the EB codes left their range.
void Tell(const RunOptions& options, const RunIo& io, const GlyphStream& stream,
          const FallbackFaces& fallbacks) {
  const char* source = options.source.c_str();
  for (const std::string& note : stream.notes()) {
    std::fprintf(io.diagnostics, "karvex: %s: %s\n", source, note.c_str());
  }
  fallbacks.Tell();
  for (int i = 0; i < kMaxPictures; ++i) {
    const GlyphStream::Cuts& cuts = stream.cuts(i);
    if (cuts.codes.empty()) continue;
    const CellSize cell = stream.cell(), roomier = stream.roomier();
    const std::string where =
        options.freepwing() ? "at height " + std::to_string(kFreePwingHeights[i]) + " the cells cut "
                            : "the " + std::to_string(cell.width) + "x" +
                                  std::to_string(cell.height) + " cell cuts ";
    const std::string hint = roomier.width == 0 ? ""
                             : " (try -x=" + std::to_string(roomier.width) +
                                   " -y=" + std::to_string(roomier.height) + ")";
    std::fprintf(io.diagnostics, "karvex: %s: %s%s%s\n", source, where.c_str(),
                 Characters(cuts.codes, (" of the glyphs " + Edges(cuts.edges) + ":").c_str())
                     .c_str(),
                 hint.c_str());
  }
  if (!stream.missing().empty()) {
    std::fprintf(io.diagnostics, "karvex: %s: has no glyph for %s\n", source,
                 Characters(stream.missing(), " of the codes:").c_str());
  }
  if (const GlyphStream::Departure& left = stream.departure(); left.glyph > 0) {
    std::fprintf(io.diagnostics, "karvex: the EB codes leave A121..FE7E at glyph %lld, U+%04X (%X)\n",
                 static_cast<long long>(left.glyph), uint32_t(left.unicode), uint32_t(left.eb));
  }
}

int StopSignal(const RunIo& io) { return io.stop_signal ? io.stop_signal() : 0; }

// Stops the sources once a signal asked the run to end or a write to one of its files
// failed, and notes whether a glyph went out.
class Guard : public GlyphOutput {
 public:
  Guard(const RunIo& io, std::vector<PendingFile*> files) : io_(io), files_(std::move(files)) {}
  void Put(const Glyph&) override { put_ = true; }
  bool failed() const override {
    if (StopSignal(io_) != 0) return true;
    for (const PendingFile* file : files_) {
      if (file->failed()) return true;
    }
    return false;
  }
  bool put() const { return put_; }

 private:
  const RunIo& io_;
  std::vector<PendingFile*> files_;
  bool put_ = false;
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
    // A read that a signal cut short needs no line of its own.
    if (const int signal = StopSignal(io)) return 128 + signal;
    std::fprintf(io.diagnostics, "karvex: %s: %s\n", failure.name.c_str(), failure.reason.c_str());
    return int(kExitFailure);
  };
  // Nothing is read or written until the files the run writes, the characters, the source
  // and the fallback faces are all to be had. Each file is written under a temporary name
  // and renamed when whole, so that a run that fails before its first glyph, is stopped by
  // a signal or meets a write error leaves every file as it was.
  const bool file_source = HasSuffix(options.source, ".bdf") || HasSuffix(options.source, ".hex");
  if (!CheckOptions(options, file_source, &failure)) return fail();
  FallbackFaces fallbacks(options, io);
  if (!fallbacks.Open(&failure)) return fail();
  PendingFile map, lacking, proof, lists[2];
  for (auto [file, name] : {std::pair{&map, &options.map_name}, {&lacking, &options.lacking_file},
                            {&proof, &options.proof_file}}) {
    std::string error;
    if (!name->empty() && !file->Start(*name, io, &error)) {
      failure.Set(*name, error);
      return fail();
    }
  }
  EpubChapters chapters;
  if (!chapters.Open(options, io, &failure)) return fail();
  // A FreePWING book takes a face's characters as a set, each of them or none.
  std::unique_ptr<CodeSet> set;
  if (options.code_set() || (options.freepwing() && !file_source)) {
    set = std::make_unique<CodeSet>();
    if (!ReadCodeSet(options, io, chapters.characters(), set.get(), &failure)) return fail();
  }
  Source source;
  FreePwingBook book;
  if (!PrepareSource(options, io, set.get(), &source, &failure) ||
      (source.face && !options.fallback.empty() &&
       !fallbacks.UseLayout(source.run.layout, &failure))) {
    return fail();
  }
  if (options.freepwing()) {
    std::vector<FaceRasterizer*> faces = fallbacks.faces();
    faces.insert(faces.begin(), source.rasterizer.get());
    if (!StartFreePwing(options, io, &source, set.get(), faces, &book, &failure)) return fail();
  }
  if (options.epub() && !io.make_folder(options.epub_dir) && errno != EEXIST) {
    failure.Set(options.epub_dir, std::strerror(errno));
    return fail();
  }
  // The viewer map goes with the lists: rewritten whole whenever they are.
  PendingFile viewer_map;
  if (options.freepwing()) {
    const std::string name = options.freepwing_dir + "/gaiji.map";
    std::string error;
    if (!viewer_map.Start(name, io, &error)) {
      failure.Set(name, error);
      return fail();
    }
  }
  for (bool full : {false, true}) {
    if (!options.freepwing()) break;
    const std::string name = FreePwingList(options.freepwing_dir, full);
    std::string error;
    if (!lists[full].Start(name, io, &error)) {
      failure.Set(name, error);
      return fail();
    }
    // A list is written again whole: what it held, then the new lines.
    if (!lists[full].direct()) lists[full].stream()->Write(book.text[full]);
  }

  const WriteFile write_file = [&io](const std::string& name,
                                     const std::function<void(OutputStream*)>& fill,
                                     std::string* error) {
    return WriteWholeFile(io, name, fill, error);
  };
  Guard guard(io, {&map, &proof, &lists[0], &lists[1]});
  GaijiWriter writer(io.out, map.started() ? map.stream() : nullptr, options.off_char,
                     options.header, !options.bmp_mode());
  BmpExporter bmp(write_file, &failure);
  FreePwingWriter freepwing(options.freepwing_dir, write_file, lists[0].stream(),
                            lists[1].stream(), &failure);
  EpubImageWriter epub(options.epub_dir, options.epub_size, source.face, write_file, &failure);
  std::vector<GlyphOutput*> outputs = {&guard};
  if (options.freepwing()) {
    outputs.push_back(&freepwing);
  } else if (options.epub()) {
    outputs.push_back(&epub);
  } else {
    outputs.push_back(&writer);
    if (options.bmp_mode()) outputs.push_back(&bmp);
  }
  std::unique_ptr<ProofSheet> sheet;
  if (proof.started()) {
    const ProofLayout layout = LayoutProof(options, &source, set.get());
    if (!layout.fits()) {
      failure.Set(options.proof_file, "a sheet of " + std::to_string(layout.cells) + " cells of " +
                                          std::to_string(layout.box_width) + "x" +
                                          std::to_string(layout.box_height) +
                                          " is past what a proof sheet can be");
      return fail();
    }
    sheet = std::make_unique<ProofSheet>(layout, proof.stream(), options.proof_file, &failure);
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
  // Stopped by a signal: the files' destructors remove what the run wrote of them.
  if (const int signal = StopSignal(io)) return 128 + signal;
  for (GlyphOutput* output : outputs) output->Finish(stream.lacking());
  WriteCharacters(stream.lacking(), lacking.stream());
  if (!io.out->Flush()) failure.Set("standard output", std::strerror(io.out->error()));

  if (options.freepwing()) {
    std::vector<std::string> names[2] = {book.order[0], book.order[1]};
    for (bool full : {false, true}) {
      names[full].insert(names[full].end(), freepwing.added(full).begin(),
                         freepwing.added(full).end());
    }
    viewer_map.stream()->Write(ViewerMap(names));
  }
  bool wrote = !stream.failed() && !io.out->failed();
  for (const PendingFile* file : {&map, &lacking, &proof, &lists[0], &lists[1], &viewer_map}) {
    if (file->failed()) {
      failure.Set(file->name(), std::strerror(file->error()));
      wrote = false;
    }
  }
  if (!wrote) return fail();  // a write error or a signal: every file stays as it was

  // The files replace what was there when the run ended well, or failed past its first
  // glyph for a reason of its source (a character it lacks, a broken font): they go with
  // what standard output holds. A list without new lines stays as it is.
  std::vector<PendingFile*> files = {&map, &lacking, &proof};
  for (bool full : {false, true}) {
    if (freepwing.wrote(full)) files.push_back(&lists[full]);
  }
  files.push_back(&viewer_map);
  // Chapters change only when the whole run succeeded: every image they name is there.
  if (!failure.happened() && stream.lacking().empty()) {
    chapters.Rewrite(options.epub_dir, epub.classes(), &files);
  }
  if (guard.put() || !failure.happened()) {
    // Every file is closed before any is renamed: a full disk leaves all of them as they were.
    std::string error;
    const PendingFile* failed = nullptr;
    for (PendingFile* file : files) {
      if (!failed && !file->Close(&error)) failed = file;
    }
    for (PendingFile* file : files) {
      if (!failed && !file->Rename(&error)) failed = file;
    }
    if (failed) {
      failure.Set(failed->name(), error);
      return fail();
    }
  }
  if (const int signal = StopSignal(io)) return 128 + signal;
  Tell(options, io, stream, fallbacks);
  if (!stream.lacking().empty()) {
    // Every face tried is named: the source's, then the fallback faces.
    const std::string tried = fallbacks.Names();
    failure.Set(options.source + tried, (tried.empty() ? "lacks " : "lack ") +
                                            Characters(stream.lacking(), " of the characters:"));
  }
  return failure.happened() ? fail() : kExitOk;
}

}  // namespace karvex
