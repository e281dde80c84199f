#include "driver/fallback_faces.h"

#include "driver/source.h"

namespace karvex {

bool FallbackFaces::Open(Failure* failure) {
  for (const std::string& name : options_.fallback) {
    std::string notice, error;
    faces_.push_back({name, io_.open_face(name, &notice, &error), 0});
    if (!faces_.back().face) {
      failure->Set(name, error);
      return false;
    }
    // A stand-in would draw what the source lacks in a face nobody chose.
    if (!notice.empty()) {
      failure->Set(name, "no installed face has that name (fc-list lists them)");
      return false;
    }
  }
  return true;
}

bool FallbackFaces::UseLayout(const FaceLayout& layout, Failure* failure) {
  layout_ = layout;
  for (Face& face : faces_) {
    std::vector<Strike> strikes;
    for (uint32_t em : layout.Ems()) {
      if (!face.face->HasSize(em, &strikes)) {
        failure->Set(face.name, NoSizeMessage(em, strikes, options_.bmp_mode()));
        return false;
      }
    }
  }
  ready_ = true;
  return true;
}

bool FallbackFaces::Substitute(GlyphStream* stream, Glyph* glyph, Failure* failure) {
  if (faces_.empty()) return false;
  if (!ready_) {  // a .hex or BDF source: its cell is known by now
    FaceLayout layout;
    layout.view = FaceTextDump(uint32_t(stream->cell().width), uint32_t(stream->cell().height),
                               uint32_t(options_.row_offset));
    if (!UseLayout(layout, failure)) {
      faces_.clear();
      return false;
    }
  }
  for (size_t i = 0; i < faces_.size(); ++i) {
    Face& face = faces_[i];
    std::string error;
    if (!face.face->HasGlyph(glyph->unicode)) continue;
    if (!pictures_.Draw(face.face.get(), glyph->unicode, layout_, &error)) {
      failure->Set(face.name, error);
      continue;
    }
    if (pictures_.cut()) continue;
    pictures_.Into(glyph);
    glyph->face = int(i + 1);
    ++face.drawn;
    stream->Put(glyph);
    return true;
  }
  return false;
}

std::vector<FaceRasterizer*> FallbackFaces::faces() const {
  std::vector<FaceRasterizer*> faces;
  for (const Face& face : faces_) faces.push_back(face.face.get());
  return faces;
}

std::string FallbackFaces::Names() const {
  std::string names;
  for (const Face& face : faces_) names += ", " + face.name;
  return names;
}

void FallbackFaces::Tell() const {
  for (const Face& face : faces_) {
    if (face.drawn > 0) {
      std::fprintf(io_.diagnostics, "karvex: %lld character%s from %s\n",
                   static_cast<long long>(face.drawn), face.drawn == 1 ? "" : "s",
                   face.name.c_str());
    }
  }
}

}  // namespace karvex
