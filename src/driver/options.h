// The command line and what it asks for.
#ifndef KARVEX_DRIVER_OPTIONS_H_
#define KARVEX_DRIVER_OPTIONS_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace karvex {

/// The usage line, printed for -? and a command line without a source, and before --help.
extern const char kUsageLine[];
/// What --help prints after the usage line: one line per option and per source kind.
extern const char kHelpText[];

struct RunOptions {
  std::string source;              ///< First positional: a .bdf or .hex file, or a face.
  int32_t first_code = 0;          ///< Second positional, hexadecimal.
  int32_t last_code = 0;           ///< Third positional, hexadecimal; else the first code.
  int32_t start_eb = 0xA121;       ///< -e, hexadecimal.
  bool start_eb_given = false;     ///< an -e option was met
  int32_t start_unicode = 0xE000;  ///< -u, hexadecimal.
  int32_t cell_width = 0;          ///< -x, decimal; 0 = from the font.
  int32_t cell_height = 0;         ///< -y, decimal; 0 = from the font; 32 is taken as 30.
  int32_t row_offset = 0;          ///< -b, decimal: first canvas row of a face dump.
  bool header = false;             ///< -h: XML declaration and enclosing elements.
  uint16_t output_mode = 't';      ///< -o: first UTF-16 unit of the value; b or B = BMP.
  std::string map_name;            ///< -m: gaiji map file; empty = none.
  int32_t positional_count = 0;    ///< Positional arguments seen, extra ones included.
  char off_char = ' ';             ///< -0: background character (low 8 bits).
  std::string codes_file;          ///< --codes: a text whose characters are the codes.
  std::string missing_from;        ///< --missing-from: keep the codes this set lacks.
  std::vector<std::string> fallback;  ///< --fallback: faces for what the source lacks.
  std::string lacking_file;        ///< --lacking: the characters the run lacked go here.
  std::string freepwing_dir;       ///< --freepwing: XBM files and FreePWING's lists go here.
  std::vector<int32_t> heights{16};   ///< --heights: a FreePWING book's glyph heights.
  std::string proof_file;          ///< --proof: a PNG picture of every glyph of the run.
  std::string epub_dir;            ///< --epub: gaiji images and style sheet of an EPUB book.
  int32_t epub_size = 128;         ///< --epub-size: the images' height in pixels.
  std::vector<std::string> epub_text;  ///< --epub-text: XHTML chapters to rewrite.
  std::string error;               ///< What is wrong with the command line (kError).
  /// Likely mistakes that the letter rules read all the same, in the order of the
  /// arguments: "ARG: what it reads as", ARG as typed.
  std::vector<std::string> notes;

  /// A code-set run writes the characters of a text or those a character set lacks, or those
  /// of EPUB chapters.
  bool code_set() const {
    return !codes_file.empty() || !missing_from.empty() || !epub_text.empty();
  }
  bool freepwing() const { return !freepwing_dir.empty(); }
  bool epub() const { return !epub_dir.empty(); }

  bool bmp_mode() const { return output_mode == 'b' || output_mode == 'B'; }
};

enum class ParseOutcome { kRun, kUsage, kHelp, kVersion, kError };

/// Fills *options from the arguments after the program name. kUsage means print the usage
/// line: -? was met (nothing after it is read) or no source was named; kHelp and kVersion
/// mean --help or --version was met; kError, a long option that is unknown, lacks its
/// value or has one it cannot take (options->error says which, "--name: reason").
/// Single letters keep their meaning however they are written; options->notes says which
/// of them are likely mistakes: an unknown letter, an empty value, a hexadecimal value
/// without a digit or with other characters after its digits, an -o other than bmp, a range
/// whose last code is below its first.
ParseOutcome ParseCommandLine(const std::vector<std::string_view>& args, RunOptions* options);

/// The value text of a UTF-8 option argument: what follows its first three UTF-16 units
/// (option mark, letter, separator). When the third unit is the first half of a
/// surrogate pair, the value starts with the lone second half, encoded in *storage.
std::string_view OptionValue(std::string_view arg, std::string* storage);

/// The first UTF-16 unit of UTF-8 text, 0 for empty text; an invalid byte reads as U+FFFD.
uint16_t FirstUtf16Unit(std::string_view text);

}  // namespace karvex

#endif  // KARVEX_DRIVER_OPTIONS_H_
