#include "driver/run.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "face/bmp_export.h"
#include "face/face_text_dump.h"
#include "gaiji/gaiji_writer.h"
#include "readers/bdf_reader.h"
#include "readers/hex_reader.h"

namespace karvex {

namespace {

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

// The first thing that went wrong in a run: what it concerns, and why.
struct Failure {
  std::string name;
  std::string reason;
  bool happened() const { return !reason.empty(); }
  void Set(const std::string& what, const std::string& why) {
    if (!happened()) *this = Failure{what, why};
  }
};

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

void ExportBmp(int32_t code, uint32_t width, uint32_t height, const std::string& face_name,
               FaceRasterizer* face, MonoCanvas* canvas, const RunIo& io, Failure* failure) {
  char name[16];
  std::snprintf(name, sizeof name, "%04X.bmp", static_cast<uint32_t>(code));
  BmpGeometry geometry;
  if (!BmpGeometryFor(width, height, &geometry)) {
    failure->Set(name, "a " + std::to_string(int32_t(width)) + "x" +
                           std::to_string(int32_t(height)) + " cell gives no BMP picture");
    return;
  }
  // A picture the face could not draw is not written: a blank file would pass for one.
  std::string error;
  if (!DrawForBmp(code, geometry, face, canvas, &error)) {
    failure->Set(face_name, error);
    return;
  }
  FilePtr file(io.create_file(name));
  if (!file) {
    failure->Set(name, std::strerror(errno));
    return;
  }
  // The stream below collects the whole file; the FILE needs no buffer of its own, and
  // without one it skips the fstat that sizing a buffer costs for each of many files.
  std::setvbuf(file.get(), nullptr, _IONBF, 0);
  OutputStream stream(file.get());
  WriteBmp(*canvas, geometry, &stream);
  if (!Finish(&stream, std::move(file))) failure->Set(name, std::strerror(errno));
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

// Dumps or exports every code of the range from the named face.
void RunFace(const RunOptions& options, const RunIo& io, GaijiWriter* writer,
             Failure* failure) {
  std::string notice, error;
  std::unique_ptr<FaceRasterizer> face = io.open_face(options.source, &notice, &error);
  if (!face) {
    failure->Set(options.source, error);
    return;
  }
  if (!notice.empty()) std::fprintf(io.diagnostics, "karvex: %s\n", notice.c_str());
  const int32_t width = options.cell_width == 0 ? 16 : options.cell_width;
  const int32_t height = options.cell_height == 0 ? 16 : options.cell_height;
  // 64-bit, so that a last code of 0x7FFFFFFF ends the loop.
  const int64_t first = options.first_code, last = options.last_code;
  // A bitmap face without the size would give blank glyphs only: it is refused up front.
  BmpGeometry geometry;
  const uint32_t em = !options.bmp_mode() ? TextDumpEm(uint32_t(width), uint32_t(height))
                      : BmpGeometryFor(uint32_t(width), uint32_t(height), &geometry)
                          ? std::max(geometry.width, geometry.height)
                          : 0;
  std::vector<Strike> strikes;
  if (first <= last && em != 0 && !face->HasSize(em, &strikes)) {
    failure->Set(options.source, NoSizeMessage(em, strikes, options.bmp_mode()));
    return;
  }
  if (options.header) writer->Header(width, height, options.start_eb);
  int32_t eb = options.start_eb;
  uint32_t unicode = static_cast<uint32_t>(options.start_unicode);
  MonoCanvas canvas;
  int64_t code = first;
  for (; code <= last && !writer->failed(); ++code) {
    if (options.bmp_mode()) {
      ExportBmp(int32_t(code), uint32_t(width), uint32_t(height), options.source, face.get(),
                &canvas, io, failure);
    } else if (!FaceTextDump(int32_t(code), uint32_t(width), uint32_t(height), eb,
                             uint32_t(options.row_offset), face.get(), &canvas, writer, &error)) {
      failure->Set(options.source, error);  // the blank block stands; the run says so
    }
    writer->MapEntry(static_cast<int32_t>(unicode), eb);
    ++unicode;
    eb = NextEbCode(eb);
    if (io.progress) io.progress(uint64_t(code - first + 1), uint64_t(last - first + 1), false);
  }
  if (io.progress && first <= last) {
    io.progress(uint64_t(code - first), uint64_t(last - first + 1), true);
  }
  if (options.header) writer->Footer();
}

}  // namespace

int Run(const RunOptions& options, const RunIo& io) {
  // The map file comes first: when it cannot be made, nothing is read or written.
  FilePtr map_file;
  std::unique_ptr<OutputStream> map;
  if (!options.map_name.empty()) {
    map_file.reset(io.create_file(options.map_name));
    if (!map_file) {
      std::fprintf(io.diagnostics, "karvex: %s: %s\n", options.map_name.c_str(),
                   std::strerror(errno));
      return kExitFailure;
    }
    map = std::make_unique<OutputStream>(map_file.get());
  }
  GaijiWriter writer(io.out, map.get(), options.off_char);
  Failure failure;
  const bool bdf = HasSuffix(options.source, ".bdf");
  if (bdf || HasSuffix(options.source, ".hex")) {
    ReadOptions read;
    read.first_code = options.first_code;
    read.last_code = options.last_code;
    read.start_eb = options.start_eb;
    read.start_unicode = options.start_unicode;
    read.forced_width = options.cell_width;
    read.forced_height = options.cell_height;
    read.header = options.header;
    std::string text, error;
    if (!io.read_file(options.source, &text, &error) ||
        !(bdf ? ReadBdf : ReadHex)(text, read, &writer, &error)) {
      failure.Set(options.source, error);
    }
  } else {
    RunFace(options, io, &writer, &failure);
  }
  if (!io.out->Flush()) failure.Set("standard output", std::strerror(io.out->error()));
  if (map && !Finish(map.get(), std::move(map_file))) {
    failure.Set(options.map_name, std::strerror(errno));
  }
  if (failure.happened()) {
    std::fprintf(io.diagnostics, "karvex: %s: %s\n", failure.name.c_str(),
                 failure.reason.c_str());
    return kExitFailure;
  }
  return kExitOk;
}

}  // namespace karvex
