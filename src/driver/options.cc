#include "driver/options.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <utility>

#include "gaiji/numbers.h"

namespace karvex {

const char kUsageLine[] =
    "Usage: karvex {<fontface>|<bdf filename>} <from_code> [<to_code>] [-o=bmp][-e=<ebcode>] "
    "[-u=<unicode>] [-x=16] [-y=16] [-m=<gaijimap>][-h]\n";

const char kHelpText[] =
    "       karvex SOURCE [FIRST [LAST]] [-h] [-m=MAP] [-e=HEX] [-u=HEX] [-x=N] [-y=N] [-b=N]\n"
    "              [-0=C] [-o=bmp] [--codes=FILE] [--missing-from=CHARSET]\n"
    "              [--fallback=FACE[,FACE...]] [--lacking=FILE] [--freepwing=DIR]\n"
    "              [--heights=16[,24[,30[,48]]]] [--proof=FILE.png] [--epub=DIR]\n"
    "              [--epub-size=N] [--epub-text=FILE.xhtml[,FILE...]]\n"
    "  -h          the XML header and footer around the glyphs, and around the map\n"
    "  -m=FILE     write the gaiji map file FILE (Unicode value to EB code)\n"
    "  -e=HEX      the first EB gaiji code (default A121)\n"
    "  -u=HEX      the first Unicode value of a BDF font's or a face's map (default E000)\n"
    "  -x=N        the cell width (default: from the font; 16 for a face)\n"
    "  -y=N        the cell height (default: from the font; 16 for a face)\n"
    "  -b=N        the first canvas row of a face's text art (default 0)\n"
    "  -o=bmp      one 1-bit BMP file per glyph, named after its code (0041.bmp)\n"
    "  -0=C        the background character of the text art (default a blank)\n"
    "  -?          the usage line alone\n"
    "  --help      this text\n"
    "  --version   the version\n"
    "  --codes=FILE          the codes: the characters of a UTF-8 text (- for stdin)\n"
    "  --missing-from=SET    keep the codes the character set SET lacks (iconv -l); JISX0208:\n"
    "                        what an EB book's text lacks (all but ASCII and JIS X 0208)\n"
    "  --fallback=FACES      faces, by name or file, for characters the source lacks\n"
    "  --lacking=FILE        write the characters the run lacked, as text for --codes\n"
    "  --freepwing=DIR       XBM files, FreePWING's halfchar.txt and fullchar.txt, gaiji.map\n"
    "  --heights=LIST        a FreePWING book's glyph heights: 16, 16,24, 16,24,30 or all\n"
    "  --proof=FILE.png      a picture of every glyph of the run, codes below each\n"
    "  --epub=DIR            gaiji images for an EPUB book, DIR/gaiji-uXXXX.png and gaiji.css\n"
    "  --epub-size=N         the images' height in pixels (default 128; half width N/2 wide)\n"
    "  --epub-text=FILES     XHTML chapters whose characters become the images, rewritten\n"
    "Sources:\n"
    "  NAME.bdf    a BDF font; the codes select glyphs by their ENCODING\n"
    "  NAME.hex    a .hex glyph file: a size line (\"16 16\"), then CODE:BITMAP lines\n"
    "  PATH        a font file: a name with a \"/\", that exists, or that ends in .ttf, .otf,\n"
    "              .ttc, .otc, .pcf, .pfb, .pfa, .woff or .woff2 (also with .gz or .Z)\n"
    "  FAMILY      an installed face, found by fontconfig (see fc-list)\n";

namespace {

// Length in bytes and value of the UTF-8 sequence at the start of `text`; an invalid
// or cut-off sequence counts as one byte standing for U+FFFD.
size_t DecodeUtf8(std::string_view text, uint32_t* code_point) {
  auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
  uint8_t lead = byte(0);
  size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3
                                   : (lead >> 3) == 0x1E ? 4 : 0;
  *code_point = 0xFFFD;
  if (length == 0 || length > text.size()) return 1;
  uint32_t cp = length == 1 ? lead : lead & (0x7F >> length);
  for (size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 1;
    cp = (cp << 6) | (byte(i) & 0x3F);
  }
  *code_point = cp;
  return length;
}

}  // namespace

std::string_view OptionValue(std::string_view arg, std::string* storage) {
  size_t offset = 0;
  for (int units = 0; units < 3 && offset < arg.size();) {
    uint32_t cp;
    size_t length = DecodeUtf8(arg.substr(offset), &cp);
    offset += length;
    units += cp > 0xFFFF ? 2 : 1;
    if (units == 4) {
      // The third unit opened a surrogate pair: the value starts with its low half,
      // kept as the three bytes that encode the lone unit.
      uint32_t low = 0xDC00 + ((cp - 0x10000) & 0x3FF);
      *storage = {char(0xE0 | (low >> 12)), char(0x80 | ((low >> 6) & 0x3F)),
                  char(0x80 | (low & 0x3F))};
      storage->append(arg.substr(offset));
      return *storage;
    }
  }
  return arg.substr(offset);
}

uint16_t FirstUtf16Unit(std::string_view text) {
  if (text.empty()) return 0;
  uint32_t cp;
  DecodeUtf8(text, &cp);
  if (cp > 0xFFFF) return static_cast<uint16_t>(0xD800 + ((cp - 0x10000) >> 10));
  return static_cast<uint16_t>(cp);
}

namespace {

// Splits a comma-separated list; false when an item is empty.
bool SplitList(std::string_view text, std::vector<std::string>* items) {
  items->clear();
  for (size_t at = 0;; ) {
    const size_t comma = std::min(text.find(',', at), text.size());
    items->emplace_back(text.substr(at, comma - at));
    if (items->back().empty()) return false;
    if (comma == text.size()) return true;
    at = comma + 1;
  }
}

// True when `text` ends in the lower-case ASCII `suffix`, case ignored.
bool EndsWith(std::string_view text, std::string_view suffix) {
  if (text.size() < suffix.size()) return false;
  text.remove_prefix(text.size() - suffix.size());
  return std::equal(text.begin(), text.end(), suffix.begin(), [](char a, char b) {
    return (a >= 'A' && a <= 'Z' ? char(a - 'A' + 'a') : a) == b;
  });
}

std::string Hex(int32_t value) {
  char text[12];
  std::snprintf(text, sizeof text, "%X", uint32_t(value));
  return text;
}

// Reads a hexadecimal value into *field as the letter rules do, and says why it is likely
// a mistake, if it is: no digit (U+3042), or other characters after the digits (30G0).
std::string ReadHex(std::string_view value, int32_t* field) {
  ScanHexInto(value, field);
  size_t at = 0;
  while (at < value.size() && IsCSpace(value[at])) ++at;
  if (at < value.size() && (value[at] == '+' || value[at] == '-')) ++at;
  const bool prefix = value.substr(at, 2) == "0x" || value.substr(at, 2) == "0X";
  const size_t digits = at + (prefix ? 2 : 0);
  size_t end = digits;
  while (end < value.size() && kHexDigitValue[uint8_t(value[end])] >= 0) ++end;
  if (end == digits && !prefix) return "not hexadecimal; read as " + Hex(*field);
  if (end < value.size()) {
    return "not hexadecimal from \"" + std::string(value.substr(end)) + "\" on; read as " +
           Hex(*field);
  }
  return "";
}

// Reads one long option, "--name=value"; false with *error set when it is none of ours or
// its value does not fit.
bool ReadLongOption(std::string_view arg, RunOptions* options, std::string* error) {
  const size_t equals = arg.find('=');
  const std::string name(arg.substr(0, equals));
  const std::string value(equals == std::string_view::npos ? "" : arg.substr(equals + 1));
  static const std::pair<const char*, const char*> kValues[] = {
      {"--codes", "FILE"}, {"--missing-from", "CHARSET"}, {"--fallback", "FACE[,FACE...]"},
      {"--lacking", "FILE"}, {"--freepwing", "DIR"}, {"--heights", "16[,24[,30[,48]]]"},
      {"--proof", "FILE.png"}, {"--epub", "DIR"}, {"--epub-size", "N"},
      {"--epub-text", "FILE.xhtml[,FILE...]"}};
  const auto known = std::find_if(std::begin(kValues), std::end(kValues),
                                  [&](const auto& option) { return name == option.first; });
  if (known == std::end(kValues)) {
    *error = name + ": unknown option";
    return false;
  }
  if (value.empty()) {
    *error = name + ": needs a value, as in " + name + "=" + known->second;
    return false;
  }
  std::vector<std::string> items;
  if (name == "--codes") {
    options->codes_file = value;
  } else if (name == "--missing-from") {
    options->missing_from = value;
  } else if (name == "--lacking") {
    options->lacking_file = value;
  } else if (name == "--freepwing") {
    options->freepwing_dir = value;
  } else if (name == "--proof") {
    // The sheet is a PNG picture whatever its name; a name that says otherwise is a slip.
    if (!EndsWith(value, ".png")) {
      *error = name + ": " + value + " does not end in .png";
      return false;
    }
    options->proof_file = value;
  } else if (name == "--epub") {
    options->epub_dir = value;
  } else if (name == "--epub-size") {
    // Whole pixels from 8 to 4096: a picture larger would only cost memory and time.
    const int32_t size = ScanDecimal(value);
    if (value.find_first_not_of("0123456789") != std::string::npos || size < 8 || size > 4096) {
      *error = name + ": " + value + " is no height from 8 to 4096 pixels";
      return false;
    }
    options->epub_size = size;
  } else if (name == "--epub-text") {
    if (!SplitList(value, &options->epub_text)) {
      *error = name + ": an empty file name";
      return false;
    }
  } else if (name == "--fallback") {
    if (!SplitList(value, &options->fallback)) {
      *error = name + ": an empty face name";
      return false;
    }
  } else if (name == "--heights") {
    // FreePWING needs 16 and lets the larger sizes go from the largest down.
    static const char* const kLists[] = {"16", "16,24", "16,24,30", "16,24,30,48"};
    const auto list = std::find(std::begin(kLists), std::end(kLists), value);
    if (list == std::end(kLists)) {
      *error = name + ": FreePWING takes 16, 16,24, 16,24,30 or 16,24,30,48";
      return false;
    }
    SplitList(value, &items);
    options->heights.clear();
    for (const std::string& height : items) options->heights.push_back(ScanDecimal(height));
  }
  return true;
}

}  // namespace

ParseOutcome ParseCommandLine(const std::vector<std::string_view>& args, RunOptions* options) {
  std::string last_code;  // the third positional argument, as typed
  for (std::string_view arg : args) {
    if (arg == "--help") return ParseOutcome::kHelp;
    if (arg == "--version") return ParseOutcome::kVersion;
    // Long options are the tool's own: a mistake in one is an error, not a letter to skip.
    // "--" alone is the letter "-", which the letter rules ignore.
    if (arg.rfind("--", 0) == 0 && arg != "--") {
      if (!ReadLongOption(arg, options, &options->error)) return ParseOutcome::kError;
      continue;
    }
    std::string note;  // why the argument is likely a mistake
    if (arg.empty() || arg[0] != '-') {
      // Positional: source name, first code, last code; more are counted and ignored.
      ++options->positional_count;
      if (options->positional_count == 1) {
        options->source = std::string(arg);
      } else if (options->positional_count == 2) {
        note = ReadHex(arg, &options->first_code);
        options->last_code = options->first_code;
      } else if (options->positional_count == 3) {
        note = ReadHex(arg, &options->last_code);
        last_code = std::string(arg);
      }
      if (!note.empty()) options->notes.push_back(std::string(arg) + ": " + note);
      continue;
    }
    // An option: the letter is the second character, the value starts at the fourth;
    // the third (normally "=") is never looked at.
    std::string storage;
    std::string_view value = OptionValue(arg, &storage);
    const char letter = arg.size() > 1 ? arg[1] : '\0';
    switch (letter) {
      case '0':
        options->off_char = static_cast<char>(FirstUtf16Unit(value) & 0xFF);
        break;
      case '?':
        return ParseOutcome::kUsage;
      case 'b':
        options->row_offset = ScanDecimal(value);
        break;
      case 'e':
        options->start_eb_given = true;
        note = ReadHex(value, &options->start_eb);
        break;
      case 'h':
        options->header = true;
        break;
      case 'm':
        options->map_name = std::string(value);
        break;
      case 'o':
        options->output_mode = FirstUtf16Unit(value);
        if (value.size() != 3 || !EndsWith(value, "bmp")) {
          note = options->bmp_mode() ? "read as bmp" : "not bmp, so no BMP files";
        }
        break;
      case 'u':
        note = ReadHex(value, &options->start_unicode);
        break;
      case 'x':
        options->cell_width = ScanDecimal(value);
        break;
      case 'y':
        options->cell_height = ScanDecimal(value);
        if (options->cell_height == 32) options->cell_height = 30;
        break;
      default: {
        // Other letters, a bare "-" and "--" are ignored.
        uint32_t code_point;
        const size_t length = arg.size() > 1 ? DecodeUtf8(arg.substr(1), &code_point) : 0;
        note = length == 0 ? "no option letter; ignored"
                           : "no option " + std::string(arg.substr(0, 1 + length)) + "; ignored";
        if (arg == "--") note += ", and options go on after it";
        break;
      }
    }
    // Values start at the fourth character: "-m map.xml" leaves -m without one.
    static const std::pair<char, const char*> kValues[] = {
        {'0', "C"}, {'b', "N"}, {'e', "HEX"}, {'m', "FILE"}, {'o', "bmp"}, {'u', "HEX"},
        {'x', "N"}, {'y', "N"}};
    for (const auto& [takes, what] : kValues) {
      if (takes == letter && value.empty()) {
        note = std::string("no value (write -") + letter + "=" + what + ")";
      }
    }
    if (!note.empty()) options->notes.push_back(std::string(arg) + ": " + note);
  }
  // A range selects codes unless --codes replaces it or the source is a .hex file.
  if (options->positional_count >= 3 && options->last_code < options->first_code &&
      options->codes_file.empty() && !EndsWith(options->source, ".hex")) {
    options->notes.push_back(last_code + ": below the first code, " +
                             Hex(options->first_code) + "; the range is empty");
  }
  return options->positional_count == 0 ? ParseOutcome::kUsage : ParseOutcome::kRun;
}

}  // namespace karvex
