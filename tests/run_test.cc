#include "driver/run.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <sstream>

#include "fake_rasterizer.h"

namespace karvex {
namespace {

// Runs the tool on in-memory sources, a fake face, and files in a fresh folder.
class RunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/karvex-run-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::system(("rm -rf " + dir_).c_str()); }

  int Karvex(std::vector<std::string_view> args) {
    RunOptions options;
    if (ParseCommandLine(args, &options) == ParseOutcome::kUsage) return kExitUsage;
    OutputStream out;
    char* diagnostics = nullptr;
    size_t diagnostics_size = 0;
    FILE* err = open_memstream(&diagnostics, &diagnostics_size);
    RunIo io;
    io.out = &out;
    io.diagnostics = err;
    io.read_file = [this](const std::string& name, std::string* contents, std::string* error) {
      files_read_.push_back(name);
      auto it = sources_.find(name);
      if (it == sources_.end()) {
        *error = "No such file or directory";
        return false;
      }
      *contents = it->second;
      return true;
    };
    io.create_file = [this](const std::string& name) {
      return std::fopen((dir_ + "/" + name).c_str(), "wb");
    };
    faces_opened_ = 0;
    calls_.clear();
    io.open_face = [this](const std::string& name, std::string* notice, std::string* error)
        -> std::unique_ptr<FaceRasterizer> {
      ++faces_opened_;
      if (name == "Missing") {
        *error = "no font face found";
        return nullptr;
      }
      if (name != "Fake") *notice = "no face named \"" + name + "\"; using \"Fake\"";
      return std::make_unique<FakeRasterizer>(&calls_);
    };
    int status = karvex::Run(options, io);
    std::fclose(err);
    err_ = std::string(diagnostics, diagnostics_size);
    std::free(diagnostics);
    out_ = out.text();
    return status;
  }

  std::string File(const std::string& name) {
    std::ifstream in(dir_ + "/" + name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  std::string dir_;
  std::map<std::string, std::string> sources_;
  std::vector<std::string> files_read_;
  int faces_opened_ = 0;
  FakeRasterizer::Calls calls_;
  std::string out_, err_;
};

// The opening lines of the glyph blocks in the output.
std::vector<std::string> Openings(const std::string& out) {
  std::vector<std::string> openings;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("<fontData", 0) == 0) openings.push_back(line);
  }
  return openings;
}

TEST_F(RunTest, FaceLoopStepsCodesEbCodesAndUnicodeValues) {
  std::string map = dir_ + "/map.xml";
  EXPECT_EQ(Karvex({"Fake", "41", "43", "-h", "-e=A17D", "-u=100", "-m=map.xml"}), kExitOk);
  EXPECT_EQ(err_, "");
  EXPECT_EQ(Openings(out_), (std::vector<std::string>{
                                "<fontData ebcode=\"A17D\" unicode=\"41\">",
                                "<fontData ebcode=\"A17E\" unicode=\"42\">",
                                "<fontData ebcode=\"A221\" unicode=\"43\">"}));
  EXPECT_EQ(out_.substr(0, out_.find("<fontData")),
            "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n"
            "<gaijiData xml:space=\"preserve\">\n<fontSet size=\"16X16\" start=\"A17D\">\n");
  EXPECT_EQ(out_.substr(out_.size() - 24), "</fontSet>\n</gaijiData>\n");
  EXPECT_EQ(File("map.xml"),
            "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n<gaijiSet>\n"
            "<gaijiMap unicode=\"#x0100\" ebcode=\"A17D\"/>\n"
            "<gaijiMap unicode=\"#x0101\" ebcode=\"A17E\"/>\n"
            "<gaijiMap unicode=\"#x0102\" ebcode=\"A221\"/>\n</gaijiSet>\n");
  EXPECT_EQ(calls_, (FakeRasterizer::Calls{
                              {0x41, 16}, {0x42, 16}, {0x43, 16}}));
}

TEST_F(RunTest, BmpModeWritesFilesAndStillStepsTheCounters) {
  EXPECT_EQ(Karvex({"Fake", "FFFF", "10000", "-o=Bmp", "-h", "-m=map.xml", "-x=12", "-y=12"}),
            kExitOk);
  EXPECT_EQ(Openings(out_).size(), 0u);
  EXPECT_NE(out_.find("<fontSet size=\"12X12\" start=\"A121\">"), std::string::npos);
  EXPECT_EQ(File("FFFF.bmp").size(), 126u);
  EXPECT_EQ(File("10000.bmp").size(), 126u);
  EXPECT_EQ(calls_, (FakeRasterizer::Calls{{0xFFFF, 16}, {0x10000, 16}}));
  EXPECT_NE(File("map.xml").find("<gaijiMap unicode=\"#xE001\" ebcode=\"A122\"/>\n</gaijiSet>"),
            std::string::npos);
}

TEST_F(RunTest, CodeRangeEdges) {
  // First code above the last: header and footer only.
  EXPECT_EQ(Karvex({"Fake", "50", "41", "-h"}), kExitOk);
  EXPECT_EQ(Openings(out_).size(), 0u);
  EXPECT_NE(out_.find("</gaijiData>"), std::string::npos);
  // A source name alone: exactly code 0.
  EXPECT_EQ(Karvex({"Fake"}), kExitOk);
  EXPECT_EQ(Openings(out_), std::vector<std::string>{"<fontData ebcode=\"A121\" unicode=\"0\">"});
  // The loop ends after the last 32-bit code.
  EXPECT_EQ(Karvex({"Fake", "7FFFFFFE", "7FFFFFFF"}), kExitOk);
  EXPECT_EQ(Openings(out_), (std::vector<std::string>{
                                "<fontData ebcode=\"A121\" unicode=\"7FFFFFFE\">",
                                "<fontData ebcode=\"A122\" unicode=\"7FFFFFFF\">"}));
  // Codes are signed: FFFFFFFF to 0 is -1 to 0.
  EXPECT_EQ(Karvex({"Fake", "FFFFFFFF", "0"}), kExitOk);
  EXPECT_EQ(Openings(out_), (std::vector<std::string>{
                                "<fontData ebcode=\"A121\" unicode=\"FFFFFFFF\">",
                                "<fontData ebcode=\"A122\" unicode=\"0\">"}));
}

TEST_F(RunTest, SourceNameSuffixChoosesTheReader) {
  const std::string hex = "8 16\n41:FF\n";
  const std::string bdf = "FONTBOUNDINGBOX 8 16 0 -2\nSTARTCHAR a\nENCODING 65\nBBX 8 1 0 13\n"
                          "BITMAP\nFF\nENDCHAR\n";
  struct Case {
    const char* name;
    const std::string& text;
    const char* opening;  // null: a face
  } cases[] = {
      {"FONT.BDF", bdf, "<fontData code=\"41\"  ebcode=\"A121\" unicode=\"E000\">"},
      {".bdf", bdf, "<fontData code=\"41\"  ebcode=\"A121\" unicode=\"E000\">"},
      {"x.HeX", hex, "<fontData ebcode=\"A121\" unicode=\"41\">"},
      {"x.bdf.txt", bdf, nullptr},
      {"ab", hex, nullptr},
  };
  for (const Case& c : cases) {
    sources_[c.name] = c.text;
    EXPECT_EQ(Karvex({c.name, "0", "FF"}), kExitOk) << c.name;
    if (c.opening) {
      EXPECT_EQ(Openings(out_).at(0), c.opening) << c.name;
      EXPECT_EQ(faces_opened_, 0) << c.name;
    } else {
      EXPECT_EQ(faces_opened_, 1) << c.name;
      EXPECT_EQ(err_, std::string("karvex: no face named \"") + c.name + "\"; using \"Fake\"\n");
    }
  }
}

TEST_F(RunTest, FailuresSayWhatAndEndWithStatus2) {
  // The map file comes first: nothing is read and nothing written when it cannot be made.
  // (The other failures are run end to end by the integration tests.)
  sources_["f.hex"] = "8 16\n41:FF\n";
  EXPECT_EQ(Karvex({"f.hex", "-h", "-m=no/such/folder/map.xml"}), kExitFailure);
  EXPECT_EQ(err_, "karvex: no/such/folder/map.xml: No such file or directory\n");
  EXPECT_EQ(out_, "");
  EXPECT_TRUE(files_read_.empty());

  EXPECT_EQ(Karvex({"Missing", "41"}), kExitFailure);
  EXPECT_EQ(err_, "karvex: Missing: no font face found\n");
}

}  // namespace
}  // namespace karvex
