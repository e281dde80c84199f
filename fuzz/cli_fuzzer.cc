// The whole command line against in-memory sources, a fake or the real FreeType face, and
// outputs that keep nothing. Input: a flags byte, the arguments separated by LF up to the
// first NUL, then what every source file reads as. Flags: bit 0 standard output fails, bit 1
// the map file cannot be made, bit 2 map writes fail, bit 3 BMP files cannot be made, bit 4
// BMP writes fail, bit 5 the real face instead of the fake, bit 6 the source cannot be read.
#include <strings.h>

#include <cerrno>

#include "driver/run.h"
#include "fuzz_input.h"

using namespace karvex;

static bool failure_met;  // an injected failure reached the run

static FILE* Sink(bool fail) {  // bytes vanish, or every write fails as on a full disk
  cookie_io_functions_t io = {};
  io.write = [](void* met, const char*, size_t size) -> ssize_t {
    if (!met) return size;
    *static_cast<bool*>(met) = true, errno = ENOSPC;
    return 0;  // a cookie write tells a failure by writing nothing, never by -1
  };
  return fopencookie(fail ? &failure_met : nullptr, "w", io);
}

// The fake face draws a diagonal and has no size above 600 pixels, so that BMP runs meet a
// face that cannot draw.
struct Face : FaceRasterizer {
  explicit Face(bool real) : real(real) {}
  const bool real;
  bool Draw(int32_t code, uint32_t em, MonoCanvas* c, std::string* error) override {
    static FaceRasterizer* const dejavu = fuzz::OpenFace("DejaVu Sans");
    if (real) return dejavu->Draw(code, em, c, error);
    if (em > 600) return *error = "no size of " + std::to_string(em) + " pixels", false;
    for (uint32_t i = 0; i < em && i < c->width && i < c->height; ++i) c->SetInk(i, i);
    return true;
  }
};

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view in(reinterpret_cast<const char*>(data), size);
  const uint8_t flags = fuzz::Take<uint8_t>(&in);
  const size_t nul = in.find('\0');
  const std::string contents(nul == in.npos ? "" : in.substr(nul + 1));
  std::vector<std::string_view> args;
  for (std::string_view rest = in.substr(0, nul); !rest.empty();) {
    args.push_back(rest.substr(0, rest.find('\n')));
    rest.remove_prefix(std::min(rest.size(), args.back().size() + 1));
  }
  RunOptions o;
  if (ParseCommandLine(args, &o) == ParseOutcome::kUsage) return 0;
  const char* tail = o.source.c_str() + o.source.size() - std::min<size_t>(o.source.size(), 4);
  if (!strcasecmp(tail, ".bdf") || !strcasecmp(tail, ".hex")) {
    fuzz::BoundForcedCell(&o.cell_width, &o.cell_height);
  } else {  // a face: at most 64 codes; the text dump caps its canvas at 48 x 48 itself
    if (int64_t{o.last_code} - o.first_code >= 64) o.last_code = o.first_code + 63;
    if (o.bmp_mode()) o.cell_width = fuzz::BoundBmpSide(o.cell_width);
    if (o.bmp_mode()) o.cell_height = fuzz::BoundBmpSide(o.cell_height);
  }
  failure_met = false;
  FILE* out_file = Sink(flags & 1);
  OutputStream out(out_file);
  RunIo io;
  io.out = &out;
  io.diagnostics = Sink(false);
  io.read_file = [&](const std::string&, std::string* text, std::string* error) {
    if (flags & 64) return failure_met = true, *error = "Is a directory", false;
    return *text = contents, true;
  };
  io.create_file = [&](const std::string& name) -> FILE* {
    const bool map = name == o.map_name;
    if (flags & (map ? 2 : 8)) return failure_met = true, errno = EACCES, nullptr;
    return Sink(flags & (map ? 4 : 16));
  };
  io.open_face = [&](const std::string& name, std::string* notice, std::string* error) {
    if (name.rfind("Missing", 0) == 0) return *error = "no such face", std::unique_ptr<Face>();
    if (name != "Fake") *notice = "no face named \"" + name + "\"; using \"Fake\"";
    return std::make_unique<Face>(flags & 32);
  };
  if (Run(o, io) != kExitFailure && failure_met) std::abort();  // no failure passes as success
  std::fclose(out_file);
  std::fclose(io.diagnostics);
  return 0;
}
