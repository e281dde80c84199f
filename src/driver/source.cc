#include "driver/source.h"

#include <algorithm>

#include "driver/code_set.h"
#include "gaiji/charset.h"
#include "gaiji/combining_marks.h"
#include "readers/bdf_reader.h"
#include "readers/hex_reader.h"

namespace karvex {

namespace {

// Code sets hold characters: codes 0 to 10FFFF but the surrogates.
constexpr int64_t kLastCharacter = 0x10FFFF;

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

}  // namespace

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

bool ReadCodeSet(const RunOptions& options, const RunIo& io,
                 const std::vector<uint32_t>& chapter_codes, CodeSet* set, Failure* failure) {
  const bool input = options.codes_file == "-";
  const std::string name = input ? "standard input" : options.codes_file;
  if (options.codes_file.empty() && !options.epub_text.empty()) {
    set->codes = chapter_codes;
  } else if (!options.codes_file.empty()) {
    TextCodes text;
    std::string error;
    const auto take = [&text](std::string_view piece) { return text.Take(piece); };
    if (!io.read_pieces(input ? "/dev/stdin" : options.codes_file, take, &error) ||
        !text.Finish(&set->codes)) {
      failure->Set(name, error.empty() ? text.error() : error);
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
  // Text in NFC has most marks joined to the letter before them: marks may mean the text
  // is in another form, which costs gaiji that NFC would not need.
  std::vector<uint32_t> marks;
  for (uint32_t code : set->codes) {
    if (!options.codes_file.empty() && IsCombiningMark(code)) marks.push_back(code);
  }
  if (!marks.empty()) {
    std::fprintf(io.diagnostics,
                 "karvex: %s: combining marks get a gaiji each; NFC would join those it can to "
                 "the letter before them: %s\n",
                 name.c_str(), Characters(marks, " of the characters:").c_str());
  }
  if (set->codes.empty()) {  // not a fault: the book needs no gaiji
    std::fprintf(io.diagnostics, "karvex: %s: %s; nothing to write\n",
                 (name.empty() ? options.source : name).c_str(),
                 options.missing_from.empty() ? "no characters"
                 : ("every character is in " + options.missing_from).c_str());
  }
  return true;
}

std::string NoFreePwingCell(CellSize cell) {
  return "a " + std::to_string(cell.width) + "x" + std::to_string(cell.height) +
         " cell; FreePWING takes 8x16 (half width) and 16x16 (full width)";
}

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
  if (options.epub()) {
    // An image N pixels high, N or N/2 wide by the character.
    run.layout.heights = {options.epub_size};
    run.layout.epub = true;
  } else if (options.freepwing()) {
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

const DryRun& DryRunOf(Source* source) {
  if (source->dry_run) return *source->dry_run;
  source->dry_run = std::make_unique<DryRun>();
  struct GlyphList : GlyphOutput {
    void Put(const Glyph& glyph) override { unicodes->push_back(glyph.unicode); }
    std::vector<int32_t>* unicodes;
  } list;
  list.unicodes = &source->dry_run->unicodes;
  GlyphStream stream(0, {&list});
  std::string error;
  (source->bdf ? ReadBdf : ReadHex)(source->text, source->read, &stream, &error);
  for (uint32_t code : stream.lacking()) list.unicodes->push_back(int32_t(code));
  source->dry_run->cell = stream.cell();
  return *source->dry_run;
}

}  // namespace karvex
