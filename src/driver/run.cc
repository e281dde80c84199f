#include "driver/run.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "driver/code_set.h"
#include "driver/fallback_faces.h"
#include "driver/output_plan.h"
#include "driver/pending_file.h"
#include "driver/source.h"
#include "gaiji/bmp_exporter.h"
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
  FallbackFaces fallbacks(options, io);
  if (!fallbacks.Open(&failure)) return fail();
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

  Committer committer({&map, &lacking, &proof}, &failure);
  GaijiWriter writer(io.out, map.started() ? map.stream() : nullptr, options.off_char,
                     options.header, !options.bmp_mode());
  BmpExporter bmp(io.create_file, &failure);
  FreePwingWriter freepwing(options.freepwing_dir, book, io.create_file, io.append_file,
                            &failure);
  std::vector<GlyphOutput*> outputs = {&committer};
  if (options.freepwing()) {
    outputs.push_back(&freepwing);
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
  for (const std::string& note : stream.notes()) {
    std::fprintf(io.diagnostics, "karvex: %s: %s\n", options.source.c_str(), note.c_str());
  }
  fallbacks.Tell();
  for (int i = 0; i < kMaxPictures; ++i) {
    if (stream.cuts(i).codes.empty()) continue;
    const CellSize cell = stream.cell();
    const std::string where =
        options.freepwing() ? "at height " + std::to_string(kFreePwingHeights[i]) + " the cells cut "
                            : "the " + std::to_string(cell.width) + "x" +
                                  std::to_string(cell.height) + " cell cuts ";
    const CellSize roomier = stream.roomier();
    const std::string hint = roomier.width == 0 ? ""
                             : " (try -x=" + std::to_string(roomier.width) +
                                   " -y=" + std::to_string(roomier.height) + ")";
    std::fprintf(io.diagnostics, "karvex: %s: %s%s%s\n", options.source.c_str(), where.c_str(),
                 Characters(stream.cuts(i).codes,
                            (" of the glyphs " + Edges(stream.cuts(i).edges) + ":").c_str())
                     .c_str(),
                 hint.c_str());
  }
  if (!stream.missing().empty()) {
    std::fprintf(io.diagnostics, "karvex: %s: has no glyph for %s\n", options.source.c_str(),
                 Characters(stream.missing(), " of the codes:").c_str());
  }
  if (const GlyphStream::Departure& left = stream.departure(); left.glyph > 0) {
    std::fprintf(io.diagnostics, "karvex: the EB codes leave A121..FE7E at glyph %lld, U+%04X (%X)\n",
                 static_cast<long long>(left.glyph), uint32_t(left.unicode), uint32_t(left.eb));
  }
  if (!stream.lacking().empty()) {
    // Every face tried is named: the source's, then the fallback faces.
    const std::string tried = fallbacks.Names();
    failure.Set(options.source + tried, (tried.empty() ? "lacks " : "lack ") +
                                            Characters(stream.lacking(), " of the characters:"));
  }
  return failure.happened() ? fail() : kExitOk;
}

}  // namespace karvex
