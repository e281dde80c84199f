// The whole command line against in-memory sources and a fake face. Input: flags u8, the
// arguments separated by LF up to the first NUL, then what every source file reads as.
// Flags: bit 0 standard output fails, bit 1 the map file cannot be made, bit 2 map writes
// fail, bit 3 other files cannot be made, bit 4 their writes fail, bit 5 renames fail,
// bit 6 sources cannot be read, bit 7 SIGTERM arrives at a look given by the input's size.
// Names under /dev/ are written directly, the others through temporary files, every one
// of which must be renamed or removed by the end of the run. Texts whose size is odd come in
// pieces of 1 to 4 bytes, so that characters straddle them.
#include <strings.h>

#include <cerrno>
#include <csignal>
#include <set>

#include "driver/run.h"
#include "fuzz_input.h"

using namespace karvex;

static bool failure_met;  // an injected failure reached the run

// A stream whose bytes vanish, or whose every write fails as on a full disk.
static FILE* Sink(bool fail) {
  cookie_io_functions_t io = {};
  io.write = [](void* met, const char*, size_t size) -> ssize_t {
    errno = ENOSPC;
    return met ? (*static_cast<bool*>(met) = true, 0) : ssize_t(size);  // 0: none written
  };
  return fopencookie(fail ? &failure_met : nullptr, "w", io);
}

// No size above 600 pixels, so that BMP runs meet a face that cannot draw.
struct FakeFace : FaceRasterizer {
  bool HasGlyph(int32_t code) override { return code % 7 != 0; }
  bool HasSize(uint32_t em, std::vector<Strike>* strikes) override {
    strikes->push_back({600, 300});
    return em <= 600;
  }
  // A diagonal an em long, which a cell narrower or lower than the em draws smaller.
  bool Render(int32_t, uint32_t em, uint32_t, GlyphImage* image, std::string* error) override {
    *image = GlyphImage();
    *error = "no such size";
    if (em > 600) return false;
    const int64_t stride = (int64_t{em} + 7) / 8;
    bits.assign(size_t(stride * em), 0);
    for (int64_t i = 0; i < em; ++i) bits[size_t(i * stride + i / 8)] = uint8_t(0x80u >> (i % 8));
    *image = GlyphImage{bits.data(), stride, em, em, 0, 0, int64_t{em} * 64};
    return true;
  }
  std::vector<uint8_t> bits;
};

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view in(reinterpret_cast<const char*>(data), size);
  const uint8_t flags = fuzz::Take<uint8_t>(&in);
  const size_t nul = std::min(in.find('\0'), in.size());
  const std::string contents(in.substr(std::min(nul + 1, in.size())));
  std::vector<std::string_view> args;
  for (std::string_view rest = in.substr(0, nul); !rest.empty();) {
    args.push_back(rest.substr(0, rest.find('\n')));
    rest.remove_prefix(std::min(rest.size(), args.back().size() + 1));
  }
  RunOptions o;
  if (ParseCommandLine(args, &o) != ParseOutcome::kRun) return 0;
  const char* suffix = o.source.c_str() + o.source.size() - std::min<size_t>(o.source.size(), 4);
  const bool file = strcasecmp(suffix, ".bdf") == 0 || strcasecmp(suffix, ".hex") == 0;
  o.cell_width = fuzz::Bound(o.cell_width, file ? 64 : 1024);  // the text dump caps at 48
  o.cell_height = fuzz::Bound(o.cell_height, file ? 64 : 1024);
  o.last_code = int32_t(std::min<int64_t>(o.last_code, int64_t{o.first_code} + 63));
  failure_met = false;
  FILE* out_file = Sink(flags & 1);
  OutputStream out(out_file);
  RunIo io;
  io.out = &out;
  io.diagnostics = Sink(false);
  io.read_file = [&](const std::string&, std::string* text, std::string* error) {
    failure_met |= (flags & 64) != 0;
    *text = contents;
    *error = "Is a directory";
    return !(flags & 64);
  };
  io.read_pieces = [&](const std::string& name, const auto& take, std::string* error) {
    std::string text;
    if (!io.read_file(name, &text, error)) return false;
    for (size_t at = 0, n; at < text.size(); at += n) {
      n = text.size() % 2 ? 1 + at % 4 : text.size();
      if (!take(std::string_view(text).substr(at, n))) break;
    }
    return true;
  };
  std::set<std::string> temps;  // temporary files not yet renamed or removed
  bool stop_met = false;
  io.start_file = [&](const std::string& name, std::string* temp, std::string* final_name) {
    const bool map = name == o.map_name, fail = flags & (map ? 2 : 8);
    failure_met |= fail;
    errno = EACCES;
    if (fail) return static_cast<FILE*>(nullptr);
    *final_name = name;
    temp->clear();
    if (name.rfind("/dev/", 0) != 0) temps.insert(*temp = name + "~" + std::to_string(temps.size()));
    return Sink(flags & (map ? 4 : 16));
  };
  io.rename_file = [&](const std::string& temp, const std::string&) {
    if (stop_met) std::abort();  // a stopped run replaces no file
    failure_met |= (flags & 32) != 0;
    errno = EXDEV;
    return !(flags & 32) && temps.erase(temp) == 1;
  };
  io.remove_file = [&](const std::string& name) { temps.erase(name); };
  io.is_file = [](const std::string&) { return true; };
  size_t looks = 0;
  io.stop_signal = [&] {
    stop_met |= (flags & 128) && looks++ >= contents.size() % 16;
    return stop_met ? SIGTERM : 0;
  };
  io.make_folder = [](const std::string&) { return true; };
  io.open_face = [](const std::string& name, std::string* notice, std::string* error) {
    *notice = name == "Fake" ? "" : "a stand-in";
    *error = "no such face";
    return std::unique_ptr<FaceRasterizer>(name.rfind("Missing", 0) ? new FakeFace : nullptr);
  };
  const int status = Run(o, io);
  if (stop_met != (status == 128 + SIGTERM)) std::abort();
  if (failure_met && !stop_met && status != kExitFailure) std::abort();  // no failure passes as success
  if (!temps.empty()) std::abort();  // a temporary file left behind
  std::fclose(out_file);
  std::fclose(io.diagnostics);
  return 0;
}
