// Fuzz target: the whole command line, parsed and run against in-memory sources, a fake
// or the real FreeType face, and output files kept in memory (nothing touches the disk).
//
// Input: a flags byte, then the arguments separated by LF up to the first NUL, then the
// contents that every source file name reads as.
//   flags: bit 0 standard output fails, bit 1 the map file cannot be created, bit 2 map
//   writes fail, bit 3 BMP files cannot be created, bit 4 BMP writes fail, bit 5 the real
//   face instead of the fake one, bit 6 the source file cannot be read
//
// Bounds (a big cell or a long face run only costs memory and time): forced cells as in
// fuzz_input.h, BMP sides as kMaxFuzzBmpSide, and at most 64 codes in a face run.
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "driver/options.h"
#include "driver/run.h"
#include "face/bmp_export.h"
#include "face/freetype_rasterizer.h"
#include "fake_rasterizer.h"
#include "fuzz_check.h"
#include "fuzz_input.h"

namespace karvex {
namespace fuzz {
namespace {

// A FILE whose bytes land in a string, or whose every write fails as a full disk does.
struct Capture {
  std::string bytes;
  bool fail = false;
  bool written = false;  // a write reached the FILE (whether it failed or not)
};

FILE* OpenCapture(Capture* capture) {
  cookie_io_functions_t io = {};
  io.write = [](void* cookie, const char* buf, size_t size) -> ssize_t {
    auto* c = static_cast<Capture*>(cookie);
    c->written = true;
    if (c->fail) {
      errno = ENOSPC;
      return 0;  // a cookie stream's write says "nothing written", never -1
    }
    c->bytes.append(buf, size);
    return static_cast<ssize_t>(size);
  };
  return fopencookie(capture, "w", io);
}

// Draws with the one real face of the process, which a run must not free.
class SharedFace : public FaceRasterizer {
 public:
  explicit SharedFace(FaceRasterizer* face) : face_(face) {}
  bool Draw(int32_t code, uint32_t em_pixels, MonoCanvas* canvas, std::string* error) override {
    return face_->Draw(code, em_pixels, canvas, error);
  }

 private:
  FaceRasterizer* face_;
};

// The fake face has no size above this many pixels, so that BMP runs meet a face that
// cannot draw what they ask for.
constexpr uint32_t kFakeMaxEm = 600;

FaceRasterizer* RealFace() {
  static std::unique_ptr<FaceRasterizer> face = [] {
    std::string notice, error;
    auto f = OpenFreeTypeFace("DejaVu Sans", &notice, &error);
    if (!f) {
      std::fprintf(stderr, "cli fuzzer: cannot open DejaVu Sans: %s\n", error.c_str());
      std::abort();
    }
    return f;
  }();
  return face.get();
}

bool EndsWithFileSuffix(const std::string& name) {
  if (name.size() < 4) return false;
  std::string tail = name.substr(name.size() - 4);
  for (char& c : tail) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return tail == ".bdf" || tail == ".hex";
}

void BoundOptions(RunOptions* options) {
  if (EndsWithFileSuffix(options->source)) {
    BoundForcedCell(&options->cell_width, &options->cell_height);
    return;
  }
  if (int64_t{options->last_code} - options->first_code >= 64) {
    options->last_code = options->first_code + 63;
  }
  if (!options->bmp_mode()) return;  // the text dump caps its canvas at 48 x 48
  int32_t& w = options->cell_width;
  int32_t& h = options->cell_height;
  BmpGeometry geometry;
  if (BmpGeometryFor(uint32_t(w == 0 ? 16 : w), uint32_t(h == 0 ? 16 : h), &geometry) &&
      (geometry.width > kMaxFuzzBmpSide || geometry.height > kMaxFuzzBmpSide)) {
    if (w > 0) w = 1 + w % int32_t(kMaxFuzzBmpSide);
    if (h > 0) h = 1 + h % int32_t(kMaxFuzzBmpSide);
  }
}

std::vector<std::string_view> Arguments(std::string_view text) {
  std::vector<std::string_view> args;
  while (!text.empty()) {
    size_t end = text.find('\n');
    args.push_back(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
  }
  return args;
}

void RunCommandLine(const uint8_t* data, size_t size) {
  ByteReader input(data, size);
  const uint8_t flags = input.Take<uint8_t>();
  std::string_view rest = input.rest();
  size_t nul = rest.find('\0');
  const std::string contents(nul == std::string_view::npos ? std::string_view()
                                                           : rest.substr(nul + 1));
  RunOptions options;
  if (ParseCommandLine(Arguments(rest.substr(0, nul)), &options) == ParseOutcome::kUsage) {
    return;  // the usage line, printed by main
  }
  BoundOptions(&options);

  Capture out_capture;
  out_capture.fail = flags & 1;
  FILE* out_file = OpenCapture(&out_capture);
  OutputStream out(out_file);
  char* diagnostics = nullptr;
  size_t diagnostics_size = 0;
  FILE* diagnostics_file = open_memstream(&diagnostics, &diagnostics_size);

  std::map<std::string, std::unique_ptr<Capture>> files;
  int map_creates = 0, bmp_creates = 0, reads = 0, faces = 0;
  int64_t progress_done = 0, progress_total = -1;
  RunIo io;
  io.out = &out;
  io.diagnostics = diagnostics_file;
  io.read_file = [&](const std::string&, std::string* text, std::string* error) {
    ++reads;
    if (flags & 64) {
      *error = "Is a directory";
      return false;
    }
    *text = contents;
    return true;
  };
  io.create_file = [&](const std::string& name) -> FILE* {
    const bool map = name == options.map_name && map_creates == 0;
    (map ? map_creates : bmp_creates)++;
    if (flags & (map ? 2 : 8)) {
      errno = EACCES;
      return nullptr;
    }
    auto& capture = files[map ? std::string("\n map") : name];
    capture = std::make_unique<Capture>();
    capture->fail = flags & (map ? 4 : 16);
    return OpenCapture(capture.get());
  };
  io.open_face = [&](const std::string& name, std::string* notice,
                     std::string* error) -> std::unique_ptr<FaceRasterizer> {
    ++faces;
    if (name.rfind("Missing", 0) == 0) {
      *error = "no font face found";
      return nullptr;
    }
    if (name != "Fake") *notice = "no face named \"" + name + "\"; using \"Fake\"";
    if (flags & 32) return std::make_unique<SharedFace>(RealFace());
    return std::make_unique<FakeRasterizer>(nullptr, kFakeMaxEm);
  };
  io.progress = [&](uint64_t done, uint64_t total) {
    FUZZ_CHECK(progress_total < 0 || int64_t(total) == progress_total);
    FUZZ_CHECK(int64_t(done) == progress_done + 1 && done <= total);
    progress_done = int64_t(done);
    progress_total = int64_t(total);
  };

  const int status = Run(options, io);
  std::fclose(out_file);
  std::fclose(diagnostics_file);
  const std::string diag(diagnostics, diagnostics_size);
  std::free(diagnostics);

  // Every stderr line names the tool; a run ends 0 with notices only, or 2 with a reason.
  FUZZ_CHECK(status == kExitOk || status == kExitFailure);
  FUZZ_CHECK(diag.empty() || diag.back() == '\n');
  size_t lines = 0, notices = 0;
  for (size_t at = 0; at < diag.size(); at = diag.find('\n', at) + 1) {
    ++lines;
    FUZZ_CHECK(diag.compare(at, 8, "karvex: ") == 0);
    if (diag.compare(at, 22, "karvex: no face named ") == 0) ++notices;
  }
  FUZZ_CHECK(lines == notices + (status == kExitFailure ? 1 : 0));

  // No failure passes as success.
  const bool map_named = !options.map_name.empty();
  Capture* map = map_named && files.count("\n map") ? files["\n map"].get() : nullptr;
  if (map_named && (flags & 2)) {
    // The map file comes first: nothing else happens when it cannot be made.
    FUZZ_CHECK(status == kExitFailure && reads == 0 && faces == 0 && !out_capture.written);
    return;
  }
  if (out_capture.fail && out_capture.written) FUZZ_CHECK(status == kExitFailure);
  if (map && map->fail && map->written) FUZZ_CHECK(status == kExitFailure);
  if ((flags & 8) && bmp_creates > 0) FUZZ_CHECK(status == kExitFailure);
  if (flags & 16) {
    for (const auto& [name, capture] : files) {
      if (capture.get() != map && capture->written) FUZZ_CHECK(status == kExitFailure);
    }
  }
  if ((flags & 64) && reads > 0) FUZZ_CHECK(status == kExitFailure);
  // A picture the face cannot draw is reported, and no blank file stands in for it.
  BmpGeometry asked{};
  if (reads == 0 && faces == 1 && !(flags & 32) && options.bmp_mode() &&
      options.first_code <= options.last_code &&
      BmpGeometryFor(uint32_t(options.cell_width == 0 ? 16 : options.cell_width),
                     uint32_t(options.cell_height == 0 ? 16 : options.cell_height), &asked) &&
      std::max(asked.width, asked.height) > kFakeMaxEm) {
    FUZZ_CHECK(status == kExitFailure && bmp_creates == 0);
  }
  if (status != kExitOk || out_capture.fail) return;

  // A successful face run: one block or BMP file and one map entry per code, in order.
  const char off = options.off_char;
  if (reads == 0 && off != '\n') {
    FUZZ_CHECK(faces == 1);
    const int64_t codes = options.first_code <= options.last_code
                              ? int64_t{options.last_code} - options.first_code + 1
                              : 0;
    FUZZ_CHECK(progress_done == codes);
    GaijiText text = CheckGaijiText(out_capture.bytes, off);
    FUZZ_CHECK(text.header == options.header && text.footer == options.header);
    if (options.bmp_mode()) {
      FUZZ_CHECK(text.blocks.empty());
      FUZZ_CHECK(int64_t(files.size()) == codes + (map ? 1 : 0));
      BmpGeometry geometry{};
      if (codes > 0) {
        FUZZ_CHECK(BmpGeometryFor(uint32_t(options.cell_width == 0 ? 16 : options.cell_width),
                                  uint32_t(options.cell_height == 0 ? 16 : options.cell_height),
                                  &geometry));
      }
      for (const auto& [name, capture] : files) {
        if (capture.get() != map) FUZZ_CHECK(capture->bytes.size() == geometry.file_size);
      }
    } else {
      FUZZ_CHECK(int64_t(text.blocks.size()) == codes);
      for (int64_t k = 0; k < codes; ++k) {
        FUZZ_CHECK(text.blocks[k].unicode == uint32_t(options.first_code + k));
      }
      CheckBlocksMatchMap(text, nullptr, options.start_eb);
    }
    if (map) {
      MapText map_text = CheckMapText(map->bytes);
      FUZZ_CHECK(map_text.header == options.header && map_text.footer == options.header);
      FUZZ_CHECK(int64_t(map_text.entries.size()) == codes);
      int32_t eb = options.start_eb;
      for (int64_t k = 0; k < codes; ++k) {
        FUZZ_CHECK(map_text.entries[k].unicode == uint32_t(options.start_unicode) + uint32_t(k));
        FUZZ_CHECK(map_text.entries[k].eb == uint32_t(eb));
        eb = NextEbCode(eb);
      }
    }
  } else if (off != '\n') {
    // A successful file run ends with the footer when asked for one.
    GaijiText text = CheckGaijiText(out_capture.bytes, off);
    FUZZ_CHECK(text.footer == options.header);
    if (map) FUZZ_CHECK(CheckMapText(map->bytes).footer == options.header);
  }
}

}  // namespace
}  // namespace fuzz
}  // namespace karvex

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  karvex::fuzz::RunCommandLine(data, size);
  return 0;
}
