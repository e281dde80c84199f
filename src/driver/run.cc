#include "driver/run.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "driver/code_set.h"
#include "face/face_source.h"
#include "gaiji/bmp_exporter.h"
#include "gaiji/charset.h"
#include "gaiji/gaiji_writer.h"
#include "readers/bdf_reader.h"
#include "readers/hex_reader.h"

namespace karvex {

namespace {

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

// Code sets hold characters: codes 0 to 10FFFF but the surrogates.
constexpr int64_t kLastCharacter = 0x10FFFF;

// Prints the run's failure, if any, and gives the exit status.
int Report(const Failure& failure, const RunIo& io) {
  if (!failure.happened()) return kExitOk;
  std::fprintf(io.diagnostics, "karvex: %s: %s\n", failure.name.c_str(), failure.reason.c_str());
  return kExitFailure;
}

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

// Flushes and closes a file written by the run; false with errno set on a failed write.
bool Finish(OutputStream* stream, FilePtr file) {
  bool ok = stream->Flush();
  int error = stream->error();
  if (std::fclose(file.release()) != 0 && ok) {
    ok = false;
    error = errno;
  }
  errno = error;
  return ok;
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

// Dumps or exports every code of the range, or of the code set, from the named face.
void RunFace(const RunOptions& options, const RunIo& io, const CodeSet* set,
             GlyphStream* stream, Failure* failure) {
  std::string notice, error;
  std::unique_ptr<FaceRasterizer> face = io.open_face(options.source, &notice, &error);
  if (!face) {
    failure->Set(options.source, error);
    return;
  }
  if (!notice.empty()) std::fprintf(io.diagnostics, "karvex: %s\n", notice.c_str());
  FaceRun run;
  run.width = options.cell_width == 0 ? 16 : options.cell_width;
  run.height = options.cell_height == 0 ? 16 : options.cell_height;
  run.first_code = options.first_code;
  run.last_code = options.last_code;
  run.codes = set ? &set->codes : nullptr;
  run.start_unicode = uint32_t(options.start_unicode);
  run.progress = io.progress;
  const bool some = set ? !set->codes.empty() : run.first_code <= run.last_code;
  if (!options.bmp_mode()) {
    run.view = FaceTextDump(uint32_t(run.width), uint32_t(run.height), uint32_t(options.row_offset));
  } else if (!BmpView(uint32_t(run.width), uint32_t(run.height), &run.view)) {
    failure->Set(options.source, "a " + std::to_string(run.width) + "x" +
                                     std::to_string(run.height) + " cell gives no BMP picture");
    return;
  }
  // A bitmap face without the size would give blank glyphs only: it is refused up front.
  std::vector<Strike> strikes;
  if (some && !face->HasSize(run.view.em, &strikes)) {
    failure->Set(options.source, NoSizeMessage(run.view.em, strikes, options.bmp_mode()));
    return;
  }
  ReadFace(face.get(), options.source, run, stream, failure);
}

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

// Names how many characters the source lacks, and the first ten.
std::string MissingMessage(std::vector<uint32_t> missing) {
  std::sort(missing.begin(), missing.end());
  std::string text = "lacks " + std::to_string(missing.size()) + " of the characters:";
  for (size_t i = 0; i < missing.size() && i < 10; ++i) {
    char code[16];
    std::snprintf(code, sizeof code, " U+%04X", missing[i]);
    text += code;
  }
  return missing.size() > 10 ? text + " ..." : text;
}

}  // namespace

int Run(const RunOptions& options, const RunIo& io) {
  Failure failure;
  // The characters come first, and then the map file: when either cannot be had, nothing
  // is read or written.
  std::unique_ptr<CodeSet> set;
  if (options.code_set()) {
    set = std::make_unique<CodeSet>();
    if (!ReadCodeSet(options, io, set.get(), &failure)) return Report(failure, io);
  }
  FilePtr map_file;
  std::unique_ptr<OutputStream> map;
  if (!options.map_name.empty()) {
    map_file.reset(io.create_file(options.map_name));
    if (!map_file) {
      failure.Set(options.map_name, std::strerror(errno));
      return Report(failure, io);
    }
    map = std::make_unique<OutputStream>(map_file.get());
  }
  GaijiWriter writer(io.out, map.get(), options.off_char, options.header, !options.bmp_mode());
  BmpExporter bmp(io.create_file, &failure);
  std::vector<GlyphOutput*> outputs = {&writer};
  if (options.bmp_mode()) outputs.push_back(&bmp);
  GlyphStream stream(options.start_eb, outputs);
  const bool bdf = HasSuffix(options.source, ".bdf");
  if (bdf || HasSuffix(options.source, ".hex")) {
    ReadOptions read;
    read.first_code = options.first_code;
    read.last_code = options.last_code;
    read.start_unicode = options.start_unicode;
    read.forced_width = options.cell_width;
    read.forced_height = options.cell_height;
    std::vector<WantedGlyph> wanted;
    if (set) read.wanted = &wanted;
    std::string text, error;
    bool ok = io.read_file(options.source, &text, &error);
    if (ok && set && bdf) {
      ok = WantedOfBdf(text, *set, &wanted, &error);
    } else if (ok && set) {  // a .hex file's codes are Unicode
      for (uint32_t code : set->codes) wanted.push_back({code, int32_t(code)});
    }
    if (!ok || !(bdf ? ReadBdf : ReadHex)(text, read, &stream, &error)) {
      failure.Set(options.source, error);
    }
  } else {
    RunFace(options, io, set.get(), &stream, &failure);
  }
  if (!io.out->Flush()) failure.Set("standard output", std::strerror(io.out->error()));
  if (map && !Finish(map.get(), std::move(map_file))) {
    failure.Set(options.map_name, std::strerror(errno));
  }
  if (!stream.lacking().empty()) failure.Set(options.source, MissingMessage(stream.lacking()));
  return Report(failure, io);
}

}  // namespace karvex
