#include "gaiji/freepwing_writer.h"

#include <cstdio>

#include "readers/text_lines.h"

namespace karvex {

CellSize FreePwingCell(bool full, int32_t height) {
  switch (height) {
    case 16: return {full ? 16 : 8, 16};
    case 24: return {full ? 24 : 16, 24};
    case 30: return {full ? 32 : 16, 30};
    default: return {full ? 48 : 24, 48};
  }
}

std::string FreePwingName(int32_t unicode) {
  char name[16];
  std::snprintf(name, sizeof name, "u%04X", uint32_t(unicode));
  return name;
}

std::string FreePwingList(const std::string& dir, bool full) {
  return dir + (full ? "/fullchar.txt" : "/halfchar.txt");
}

bool FreePwingBook::Read(bool full, std::string list,
                         const std::function<bool(const std::string&)>& is_file,
                         std::string* error) {
  // fpwmake skips empty lines and those whose first character is "#".
  LineCursor lines(list);
  std::string_view line;
  int64_t first = 0;  // the number of the first line that defines a name
  while (lines.Next(&line)) {
    if (line.empty() || line[0] == '#') continue;
    Tokens tokens(line, " \t\r");
    std::string_view name, path;
    if (!tokens.Next(&name)) continue;
    const std::string at = "line " + std::to_string(lines.number()) + ": ";
    int n = 0;
    for (; tokens.Next(&path); ++n) {
      if (!is_file(std::string(path))) {
        *error = at + std::string(path) + ": no such XBM file";
        return false;
      }
    }
    if (first == 0) {
      first = lines.number();
      heights[full] = n;
    }
    if (n == 0 || n != heights[full]) {
      *error = at + std::string(name) +
               (n == 0 ? " names no XBM file"
                       : " names " + std::to_string(n) + " XBM files where line " +
                             std::to_string(first) + " names " + std::to_string(heights[full]));
      return false;
    }
    names[full].emplace(name);
    order[full].emplace_back(name);
    ++count[full];
  }
  // A last line without a line end would run into the first new line.
  if (!list.empty() && list.back() != '\n') list += '\n';
  text[full] = std::move(list);
  return true;
}

namespace {

// The XBM file of a picture padded to FreePWING's cell: rows of whole bytes, the leftmost
// pixel in the lowest bit; background outside the picture. The bytes start on the line
// after the brace, as FreePWING's reader needs.
void WriteXbm(const std::string& name, const Bitmap& picture, CellSize cell, OutputStream* out) {
  out->Write("#define " + name + "_width " + std::to_string(cell.width) + "\n#define " + name +
             "_height " + std::to_string(cell.height) + "\nstatic unsigned char " + name +
             "_bits[] = {\n");
  const int32_t stride = (cell.width + 7) / 8;
  for (int32_t i = 0, total = stride * cell.height; i < total; ++i) {
    const int32_t y = i / stride, x0 = (i % stride) * 8;
    unsigned byte = 0;
    for (int32_t bit = 0; bit < 8; ++bit) {
      const int32_t x = x0 + bit;
      if (y < picture.height && x < picture.width &&
          picture.pixels[int64_t{y} * picture.width + x]) {
        byte |= 1u << bit;
      }
    }
    char text[8];
    std::snprintf(text, sizeof text, "0x%02x%s", byte,
                  i + 1 == total ? "};\n" : i % 12 == 11 ? ",\n" : ", ");
    if (i % 12 == 0) out->Write("   ");  // twelve bytes a line
    out->Write(text);
  }
}

}  // namespace

void FreePwingWriter::Put(const Glyph& glyph) {
  if (failed_) return;
  const bool full = glyph.picture[0].width > 8;
  const std::string name = FreePwingName(glyph.unicode);
  std::string line = name;
  for (int i = 0; i < glyph.pictures; ++i) {
    const int32_t height = kFreePwingHeights[i];
    const std::string file = name + "_" + std::to_string(height);
    const std::string path = dir_ + "/" + file + ".xbm";
    std::string error;
    if (!write_file_(path, [&](OutputStream* out) {
          WriteXbm(file, glyph.picture[i], FreePwingCell(full, height), out);
        }, &error)) {
      failure_->Set(path, error);
      failed_ = true;
      return;
    }
    line += " " + path;
  }
  lists_[full]->Write(line + "\n");
  wrote_[full] = true;
  added_[full].push_back(name);
}

std::string ViewerMap(const std::vector<std::string> (&names)[2]) {
  std::string map;
  for (bool full : {false, true}) {
    int32_t eb = 0xA121;
    for (const std::string& name : names[full]) {
      const bool character = name.size() >= 5 && name.size() <= 7 && name[0] == 'u' &&
                             name.find_first_not_of("0123456789ABCDEF", 1) == std::string::npos;
      if (character) {
        char code[8];
        std::snprintf(code, sizeof code, "%c%04X\t", full ? 'z' : 'h', uint32_t(eb));
        map += code + name + "\n";
      }
      eb = NextEbCode(eb);
    }
  }
  return map;
}

}  // namespace karvex
