#include "gaiji/freepwing_writer.h"

#include <cerrno>
#include <cstring>

#include "gaiji/output_stream.h"
#include "readers/text_lines.h"

namespace karvex {

namespace {

const char* const kLists[2] = {"halfchar.txt", "fullchar.txt"};

}  // namespace

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

void FreePwingBook::Read(bool full, std::string_view text) {
  open_line[full] = !text.empty() && text.back() != '\n';
  // fpwmake skips empty lines and those whose first character is "#".
  LineCursor lines(text);
  std::string_view line;
  while (lines.Next(&line)) {
    if (line.empty() || line[0] == '#') continue;
    Tokens tokens(line, " \t\r");
    std::string_view name, path;
    if (!tokens.Next(&name)) continue;
    names[full].emplace(name);
    int n = 0;
    while (tokens.Next(&path)) ++n;
    if (count[full]++ == 0) heights[full] = n;
  }
}

bool FreePwingWriter::WriteXbm(const std::string& name, const Bitmap& picture, CellSize cell) {
  const std::string path = dir_ + "/" + name + ".xbm";
  FILE* file = create_file_(path);
  if (!file) {
    failure_->Set(path, std::strerror(errno));
    return false;
  }
  std::setvbuf(file, nullptr, _IONBF, 0);  // the stream below holds the whole file
  OutputStream out(file);
  out.Write("#define " + name + "_width " + std::to_string(cell.width) + "\n#define " + name +
            "_height " + std::to_string(cell.height) + "\nstatic unsigned char " + name +
            "_bits[] = {\n");
  // Rows of whole bytes, the leftmost pixel in the lowest bit; background outside the
  // picture. The bytes start on the line after the brace, as FreePWING's reader needs.
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
    if (i % 12 == 0) out.Write("   ");  // twelve bytes a line
    out.Write(text);
  }
  if (!CloseFile(&out, file)) {
    failure_->Set(path, std::strerror(errno));
    return false;
  }
  return true;
}

void FreePwingWriter::Put(const Glyph& glyph) {
  const bool full = glyph.picture[0].width > 8;
  const std::string name = FreePwingName(glyph.unicode);
  std::string line = name;
  for (int i = 0; i < glyph.pictures; ++i) {
    const int32_t height = kFreePwingHeights[i];
    const std::string file = name + "_" + std::to_string(height);
    if (!WriteXbm(file, glyph.picture[i], FreePwingCell(full, height))) return;
    line += " " + dir_ + "/" + file + ".xbm";
  }
  std::unique_ptr<FILE, FileCloser>& list = lists_[full];
  const std::string path = dir_ + "/" + kLists[full];
  if (!list) {
    list.reset(append_file_(path));
    // A list whose last line has no line end would run into the first new line.
    if (open_line_[full]) line = "\n" + line;
  }
  if (!list || std::fputs((line + "\n").c_str(), list.get()) == EOF) {
    failure_->Set(path, std::strerror(errno));
  }
}

void FreePwingWriter::Finish(const std::vector<uint32_t>&) {
  for (int full = 0; full < 2; ++full) {
    if (lists_[full] && std::fclose(lists_[full].release()) != 0) {
      failure_->Set(dir_ + "/" + kLists[full], std::strerror(errno));
    }
  }
}

}  // namespace karvex
