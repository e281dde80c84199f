#include "gaiji/epub_chapter.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "gaiji/numbers.h"

namespace karvex {

namespace {

constexpr std::string_view kXhtmlNamespace = "http://www.w3.org/1999/xhtml";

// XHTML elements whose content is no place for an image: plain text, form controls that
// show plain text, inert or replaced content. SVG and MathML count by name too, for the
// documents that leave out their namespaces.
constexpr std::string_view kWithoutImages[] = {
    "script", "style", "title", "textarea", "select", "option",  "optgroup",
    "datalist", "iframe", "template", "rp", "picture", "svg", "math"};

// Where an element stands: before <body>, where images can stand, or where they cannot.
enum Place { kOutside, kImages, kNoImages };

bool IsSpace(uint32_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool IsNameStart(uint32_t c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' ||
         (c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) ||
         (c >= 0x370 && c <= 0x37D) || (c >= 0x37F && c <= 0x1FFF) || c == 0x200C ||
         c == 0x200D || (c >= 0x2070 && c <= 0x218F) || (c >= 0x2C00 && c <= 0x2FEF) ||
         (c >= 0x3001 && c <= 0xD7FF) || (c >= 0xF900 && c <= 0xFDCF) ||
         (c >= 0xFDF0 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0xEFFFF);
}

bool IsNameChar(uint32_t c) {
  return IsNameStart(c) || c == '-' || c == '.' || (c >= '0' && c <= '9') || c == 0xB7 ||
         (c >= 0x300 && c <= 0x36F) || c == 0x203F || c == 0x2040;
}

bool IsXmlChar(uint32_t c) {
  return c >= 0x20 ? (c < 0xD800 || c > 0xDFFF) && c != 0xFFFE && c != 0xFFFF
                   : c == '\t' || c == '\n' || c == '\r';
}

// A run of character data where images can stand, and the prefix of its element.
struct TextRun {
  size_t begin;
  size_t end;
  std::string_view prefix;
};

// Reads a document from start to end, stopping at the first fault.
class XmlScanner {
 public:
  explicit XmlScanner(std::string_view document) : whole_(document) {}

  /// False with fault() set at the first fault.
  bool Scan();
  const std::string& fault() const { return fault_; }
  const std::vector<TextRun>& runs() const { return runs_; }

 private:
  struct Open {
    std::string_view name;
    size_t at;        // where its start tag begins
    size_t bindings;  // namespace bindings in force before its own
    Place place;
  };

  std::string Line(size_t at) const;
  bool Fail(size_t at, const std::string& what);
  // A fault found by running out of text.
  bool FailAtEnd(const std::string& what) { return Fail(text_.size(), what); }
  bool At(std::string_view s) const {
    return pos_ <= text_.size() && text_.substr(pos_, s.size()) == s;
  }
  bool SkipSpace();
  size_t NameEnd(size_t at) const;
  bool Declaration();
  bool Doctype();
  bool Comment();
  bool Instruction();
  bool Cdata();
  bool Reference(size_t at, size_t* end);
  bool Text();
  bool StartTag();
  bool EndTag();
  bool Misc(bool* done);
  Place PlaceOf(std::string_view name, Place parent) const;

  std::string_view whole_;
  std::string_view text_;  // the document up to its first byte that is not an XML character
  size_t pos_ = 0;
  std::string fault_;
  size_t fault_at_ = 0;
  std::vector<Open> open_;
  std::vector<std::pair<std::string_view, std::string_view>> bindings_;  // prefix, namespace
  std::vector<TextRun> runs_;
};

std::string XmlScanner::Line(size_t at) const {
  int64_t line = 1;
  for (size_t i = 0; i < at && i < whole_.size(); ++i) {
    // A CR alone ends a line as a CR LF pair does.
    line += whole_[i] == '\n' || (whole_[i] == '\r' && whole_.substr(i + 1, 1) != "\n");
  }
  return std::to_string(line);
}

bool XmlScanner::Fail(size_t at, const std::string& what) {
  if (fault_.empty()) {
    fault_ = "line " + Line(at) + ": " + what;
    fault_at_ = at;
  }
  return false;
}

bool XmlScanner::SkipSpace() {
  const size_t start = pos_;
  while (pos_ < text_.size() && IsSpace(text_[pos_])) ++pos_;
  return pos_ > start;
}

size_t XmlScanner::NameEnd(size_t at) const {
  size_t end = at;
  for (size_t length; end < text_.size(); end += length) {
    uint32_t c;
    length = DecodeUtf8(text_, end, &c);
    if (length == 0 || !(end == at ? IsNameStart(c) : IsNameChar(c))) break;
  }
  return end;
}

bool XmlScanner::Scan() {
  // The structure is read up to the first byte that is no XML character; a fault there
  // stands unless the structure failed before it.
  size_t bad = 0;
  std::string bad_what;
  for (size_t length; bad < whole_.size(); bad += length) {
    uint32_t c;
    length = DecodeUtf8(whole_, bad, &c);
    if (length == 0) {
      bad_what = "not UTF-8";
      break;
    }
    if (!IsXmlChar(c)) {
      char name[48];
      std::snprintf(name, sizeof name, "U+%04X is no character XML allows", c);
      bad_what = name;
      break;
    }
  }
  text_ = whole_.substr(0, bad);
  const bool scanned = [&] {
    if (At("\xEF\xBB\xBF")) pos_ = 3;
    if (At("<?xml") && pos_ + 5 < text_.size() &&
        (IsSpace(text_[pos_ + 5]) || text_[pos_ + 5] == '?') && !Declaration()) {
      return false;
    }
    bool done = false, doctype = false;
    while (!done) {
      SkipSpace();
      if (At("<!DOCTYPE")) {
        if (doctype) return Fail(pos_, "a second DOCTYPE");
        doctype = true;
        if (!Doctype()) return false;
      } else if (At("<") && !At("<!--") && !At("<?")) {
        break;
      } else if (!Misc(&done)) {
        return false;
      }
    }
    if (done) return Fail(pos_, "no root element");
    if (!StartTag()) return false;
    while (!open_.empty()) {
      if (pos_ >= text_.size()) {
        return FailAtEnd("the document ends inside <" + std::string(open_.back().name) +
                         "> (opened on line " + Line(open_.back().at) + ")");
      }
      bool read;
      if (text_[pos_] == '&') {
        read = Reference(pos_, &pos_);
      } else if (text_[pos_] != '<') {
        read = Text();
      } else if (At("</")) {
        read = EndTag();
      } else if (At("<!--")) {
        read = Comment();
      } else if (At("<![CDATA[")) {
        read = Cdata();
      } else if (At("<?")) {
        read = Instruction();
      } else {
        read = StartTag();
      }
      if (!read) return false;
    }
    while (!done) {
      if (!Misc(&done)) return false;
    }
    return true;
  }();
  if (bad < whole_.size() && (scanned || fault_at_ >= bad)) {
    fault_.clear();
    Fail(bad, bad_what);
  }
  return fault_.empty();
}

// White space, comments and processing instructions outside the root; *done at the end.
bool XmlScanner::Misc(bool* done) {
  SkipSpace();
  if (pos_ == text_.size()) {
    *done = true;
    return true;
  }
  if (At("<!--")) return Comment();
  if (At("<?")) return Instruction();
  return Fail(pos_, At("<") ? "markup after the root element" : "text outside the root element");
}

bool XmlScanner::Declaration() {
  const size_t at = pos_;
  const size_t close = text_.find("?>", at);
  if (close == std::string_view::npos) return FailAtEnd("the XML declaration is not closed");
  // Pseudo-attributes in this order, version first, each after white space.
  const std::string_view names[] = {"version", "encoding", "standalone"};
  std::string_view rest = text_.substr(at + 5, close - at - 5);
  size_t next = 0;
  const auto skip_space = [&rest] {
    const size_t start = std::min(rest.find_first_not_of(" \t\r\n"), rest.size());
    rest.remove_prefix(start);
    return start > 0;
  };
  while (skip_space() && !rest.empty()) {
    const std::string_view name = rest.substr(0, rest.find_first_of("= \t\r\n"));
    while (next < 3 && next > 0 && name != names[next]) ++next;
    if (next == 3 || name != names[next]) break;
    rest.remove_prefix(name.size());
    skip_space();
    if (rest.substr(0, 1) != "=") break;
    rest.remove_prefix(1);
    skip_space();
    const size_t end = rest.empty() ? std::string_view::npos : rest.find(rest[0], 1);
    if (end == std::string_view::npos || (rest[0] != '"' && rest[0] != '\'')) break;
    const std::string_view value = rest.substr(1, end - 1);
    rest.remove_prefix(end + 1);
    std::string upper(value);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](char c) { return c >= 'a' && c <= 'z' ? char(c - 32) : c; });
    if (next == 0 && (value.substr(0, 2) != "1." || value.size() == 2 ||
                      value.find_first_not_of("0123456789", 2) != std::string_view::npos)) {
      break;
    }
    if (next == 1 && upper != "UTF-8") {
      return Fail(at, "the declaration names encoding " + std::string(value) +
                          "; only UTF-8 is read");
    }
    ++next;
  }
  if (next == 0 || !rest.empty()) return Fail(at, "a malformed XML declaration");
  pos_ = close + 2;
  return true;
}

bool XmlScanner::Doctype() {
  const size_t at = pos_;
  const auto malformed = [&] {
    return pos_ >= text_.size() ? FailAtEnd("the DOCTYPE of line " + Line(at) + " is not closed")
                                : Fail(at, "a malformed DOCTYPE");
  };
  // A quoted literal after white space.
  const auto literal = [&] {
    if (!SkipSpace() || !(At("\"") || At("'"))) return false;
    const size_t end = text_.find(text_[pos_], pos_ + 1);
    pos_ = std::min(end, text_.size() - 1) + 1;
    return end != std::string_view::npos;
  };
  pos_ += 9;
  if (!SkipSpace() || NameEnd(pos_) == pos_) return malformed();
  pos_ = NameEnd(pos_);
  const size_t name_end = pos_;
  SkipSpace();
  if (At("SYSTEM") || At("PUBLIC")) {
    const bool public_id = At("PUBLIC");
    pos_ += 6;
    if (!literal() || (public_id && !literal())) return malformed();
  } else {
    pos_ = name_end;
  }
  SkipSpace();
  if (At("[")) {
    // The internal subset is skipped whole: a "]" inside a literal does not end it.
    for (++pos_; pos_ < text_.size() && !At("]");) {
      if (At("\"") || At("'")) {
        const size_t end = text_.find(text_[pos_], pos_ + 1);
        pos_ = std::min(end, text_.size() - 1) + 1;
      } else if (At("<!--")) {
        if (!Comment()) return false;
      } else if (At("<?")) {
        if (!Instruction()) return false;
      } else {
        ++pos_;
      }
    }
    if (!At("]")) return malformed();
    ++pos_;
    SkipSpace();
  }
  if (!At(">")) return malformed();
  ++pos_;
  return true;
}

bool XmlScanner::Comment() {
  const size_t at = pos_;
  const size_t dashes = text_.find("--", at + 4);
  if (dashes == std::string_view::npos) {
    return FailAtEnd("the comment of line " + Line(at) + " is not closed");
  }
  if (text_.compare(dashes, 3, "-->") != 0) return Fail(dashes, "-- inside a comment");
  pos_ = dashes + 3;
  return true;
}

bool XmlScanner::Instruction() {
  const size_t at = pos_;
  const size_t name_end = NameEnd(at + 2);
  std::string target(text_.substr(at + 2, name_end - at - 2));
  std::transform(target.begin(), target.end(), target.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; });
  if (target.empty()) return Fail(at, "<? without a name");
  if (target == "xml") return Fail(at, "an XML declaration that is not at the start");
  pos_ = name_end;
  if (!At("?>") && !SkipSpace() && pos_ < text_.size()) {
    return Fail(pos_, "no white space after the name of a processing instruction");
  }
  const size_t close = text_.find("?>", pos_);
  if (close == std::string_view::npos) {
    return FailAtEnd("the processing instruction of line " + Line(at) + " is not closed");
  }
  pos_ = close + 2;
  return true;
}

bool XmlScanner::Cdata() {
  const size_t close = text_.find("]]>", pos_ + 9);
  if (close == std::string_view::npos) {
    return FailAtEnd("the CDATA section of line " + Line(pos_) + " is not closed");
  }
  pos_ = close + 3;
  return true;
}

bool XmlScanner::Reference(size_t at, size_t* end) {
  size_t p = at + 1;
  bool known = false;
  if (text_.compare(p, 1, "#") == 0) {
    const bool hex = text_.compare(p + 1, 1, "x") == 0;
    p += hex ? 2 : 1;
    uint32_t value = 0;
    const size_t digits = p;
    for (; p < text_.size(); ++p) {
      const int digit = kHexDigitValue[uint8_t(text_[p])];
      if (digit < 0 || (!hex && digit > 9)) break;
      value = std::min<uint32_t>(value * (hex ? 16 : 10) + uint32_t(digit), 0x110000);
    }
    known = p > digits && IsXmlChar(value) && value < 0x110000;
    if (p > digits && !known && text_.compare(p, 1, ";") == 0) {
      return Fail(at, std::string(text_.substr(at, p + 1 - at)) + " is no character XML allows");
    }
  } else {
    p = NameEnd(p);
    const std::string_view name = text_.substr(at + 1, p - at - 1);
    known = name == "lt" || name == "gt" || name == "amp" || name == "apos" || name == "quot";
    if (!known && !name.empty() && text_.compare(p, 1, ";") == 0) {
      return Fail(at, "unknown entity &" + std::string(name) +
                          "; (only &lt; &gt; &amp; &apos; &quot; and character references)");
    }
  }
  if (!known || text_.compare(p, 1, ";") != 0) {
    return Fail(at, "& that starts no reference (write &amp;)");
  }
  *end = p + 1;
  return true;
}

bool XmlScanner::Text() {
  const size_t end = std::min(text_.find_first_of("<&", pos_), text_.size());
  const size_t cdata_end = text_.substr(0, end).find("]]>", pos_);
  if (cdata_end != std::string_view::npos) return Fail(cdata_end, "]]> in text");
  const Open& parent = open_.back();
  if (parent.place == kImages) {
    const size_t colon = parent.name.find(':');
    const size_t prefix = colon == std::string_view::npos ? 0 : colon;
    runs_.push_back({pos_, end, parent.name.substr(0, prefix)});
  }
  pos_ = end;
  return true;
}

Place XmlScanner::PlaceOf(std::string_view name, Place parent) const {
  if (parent == kNoImages) return kNoImages;
  const size_t colon = name.find(':');
  const std::string_view prefix = colon == std::string_view::npos ? "" : name.substr(0, colon);
  const std::string_view local = name.substr(colon == std::string_view::npos ? 0 : colon + 1);
  std::string_view space;
  bool bound = prefix.empty();
  for (auto it = bindings_.rbegin(); it != bindings_.rend(); ++it) {
    if (it->first == prefix) {
      space = it->second;
      bound = true;
      break;
    }
  }
  // Elements in no namespace count as XHTML: some documents leave it out.
  const bool xhtml = bound && (space == kXhtmlNamespace || (prefix.empty() && space.empty()));
  if (parent == kOutside) return xhtml && local == "body" ? kImages : kOutside;
  const bool allowed = std::find(std::begin(kWithoutImages), std::end(kWithoutImages), local) ==
                       std::end(kWithoutImages);
  return xhtml && allowed ? kImages : kNoImages;
}

bool XmlScanner::StartTag() {
  const size_t at = pos_;
  const size_t name_end = NameEnd(at + 1);
  if (name_end == at + 1) return Fail(at, "< that starts no tag (write &lt;)");
  const std::string_view name = text_.substr(at + 1, name_end - at - 1);
  const std::string tag = "<" + std::string(name) + ">";
  const size_t bindings = bindings_.size();
  std::vector<std::pair<std::string_view, size_t>> attributes;
  pos_ = name_end;
  bool empty = false;
  while (true) {
    const bool space = SkipSpace();
    if (pos_ >= text_.size()) {
      return FailAtEnd("the document ends inside the tag " + tag + " of line " + Line(at));
    }
    if (At("/>") || At(">")) {
      empty = At("/>");
      pos_ += empty ? 2 : 1;
      break;
    }
    const size_t attribute_end = NameEnd(pos_);
    if (attribute_end == pos_) return Fail(pos_, tag + " holds something other than attributes");
    const std::string_view attribute = text_.substr(pos_, attribute_end - pos_);
    if (!space) return Fail(pos_, tag + ": no white space before " + std::string(attribute));
    attributes.emplace_back(attribute, pos_);
    pos_ = attribute_end;
    SkipSpace();
    const auto what = [&] { return tag + ": attribute " + std::string(attribute); };
    if (!At("=")) return Fail(pos_, what() + " has no value");
    ++pos_;
    SkipSpace();
    if (!At("\"") && !At("'")) return Fail(pos_, what() + " has a value without quotes");
    const size_t close = text_.find(text_[pos_], pos_ + 1);
    if (close == std::string_view::npos) {
      return FailAtEnd("the value of " + std::string(attribute) + " in " + tag + " of line " +
                       Line(at) + " is not closed");
    }
    for (size_t p = pos_ + 1; p < close;) {
      const size_t special = std::min(text_.find_first_of("<&", p), close);
      if (special == close) break;
      if (text_[special] == '<') return Fail(special, what() + " has < in its value");
      if (!Reference(special, &p)) return false;
    }
    const std::string_view value = text_.substr(pos_ + 1, close - pos_ - 1);
    if (attribute == "xmlns") bindings_.emplace_back("", value);
    if (attribute.substr(0, 6) == "xmlns:") bindings_.emplace_back(attribute.substr(6), value);
    pos_ = close + 1;
  }
  std::stable_sort(attributes.begin(), attributes.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  const auto twice = std::adjacent_find(
      attributes.begin(), attributes.end(),
      [](const auto& a, const auto& b) { return a.first == b.first; });
  if (twice != attributes.end()) {
    return Fail(twice[1].second, tag + " has attribute " + std::string(twice->first) + " twice");
  }
  const Place place = PlaceOf(name, open_.empty() ? kOutside : open_.back().place);
  if (empty) {
    bindings_.resize(bindings);
  } else {
    open_.push_back({name, at, bindings, place});
  }
  return true;
}

bool XmlScanner::EndTag() {
  const size_t at = pos_;
  const size_t name_end = NameEnd(at + 2);
  const std::string_view name = text_.substr(at + 2, name_end - at - 2);
  pos_ = name_end;
  SkipSpace();
  if (name.empty() || !At(">")) return Fail(at, "a malformed end tag");
  ++pos_;
  const Open& open = open_.back();
  if (name != open.name) {
    return Fail(at, "</" + std::string(name) + "> closes <" + std::string(open.name) +
                        "> (opened on line " + Line(open.at) + ")");
  }
  bindings_.resize(open.bindings);
  open_.pop_back();
  return true;
}

// The path as folder names from the root, "." and ".." resolved.
std::vector<std::string_view> Folders(std::string_view path, std::string_view cwd) {
  std::vector<std::string_view> folders;
  for (std::string_view part : {path.substr(0, 1) == "/" ? std::string_view() : cwd, path}) {
    while (!part.empty()) {
      const size_t slash = std::min(part.find('/'), part.size());
      const std::string_view name = part.substr(0, slash);
      part.remove_prefix(std::min(slash + 1, part.size()));
      if (name == "..") {
        if (!folders.empty()) folders.pop_back();
      } else if (!name.empty() && name != ".") {
        folders.push_back(name);
      }
    }
  }
  return folders;
}

// "FOLDER/" as the start of a URL in an attribute value: bytes that a URL path cannot
// hold percent-encoded, and "&" as XML writes it.
std::string UrlPrefix(std::string_view folder) {
  std::string url;
  // A colon in the first name would read as a URL scheme.
  const size_t colon = folder.find(':');
  if (colon != std::string_view::npos && colon < folder.find('/')) url = "./";
  for (char c : folder) {
    const uint8_t b = uint8_t(c);
    if (b <= 0x20 || b == 0x7F ||
        std::string_view("\"#%<>?[\\]^`{|}").find(c) != std::string_view::npos) {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", b);
      url += escaped;
    } else {
      url += c == '&' ? "&amp;" : std::string(1, c);
    }
  }
  return folder == "." || folder.empty() ? "" : url + "/";
}

}  // namespace

std::string XmlFault(std::string_view document) {
  XmlScanner scanner(document);
  scanner.Scan();
  return scanner.fault();
}

bool BodyCharacters(std::string_view document, std::vector<uint32_t>* characters,
                    std::string* fault) {
  XmlScanner scanner(document);
  characters->clear();
  if (!scanner.Scan()) {
    *fault = scanner.fault();
    return false;
  }
  for (const TextRun& run : scanner.runs()) {
    for (size_t at = run.begin, length; at < run.end; at += length) {
      uint32_t c;
      length = DecodeUtf8(document, at, &c);
      if (!IsSpace(c)) characters->push_back(c);
    }
  }
  std::sort(characters->begin(), characters->end());
  characters->erase(std::unique(characters->begin(), characters->end()), characters->end());
  return true;
}

bool ReplaceGaiji(std::string_view document, const GaijiClasses& classes,
                  std::string_view folder, std::string* rewritten, std::string* fault) {
  XmlScanner scanner(document);
  if (!scanner.Scan()) {
    *fault = scanner.fault();
    return false;
  }
  const std::string url = UrlPrefix(folder);
  rewritten->clear();
  rewritten->reserve(document.size());
  size_t copied = 0;
  for (const TextRun& run : scanner.runs()) {
    for (size_t at = run.begin, length; at < run.end; at += length) {
      uint32_t c;
      length = DecodeUtf8(document, at, &c);
      const auto found = classes.find(c);
      if (found == classes.end() || IsSpace(c)) continue;
      rewritten->append(document.substr(copied, at - copied));
      copied = at + length;
      char name[24];
      std::snprintf(name, sizeof name, "gaiji-u%04X.png", c);
      *rewritten += "<";
      if (!run.prefix.empty()) *rewritten += std::string(run.prefix) + ":";
      *rewritten += "img class=\"" + found->second + "\" src=\"" + url + name + "\" alt=\"";
      *rewritten += c == '"' ? std::string_view("&quot;") : document.substr(at, length);
      *rewritten += "\"/>";
    }
  }
  rewritten->append(document.substr(copied));
  return true;
}

std::string RelativeFolder(std::string_view file, std::string_view dir, std::string_view cwd) {
  const size_t slash = file.rfind('/');
  const std::string_view file_folder =
      slash == std::string_view::npos ? "." : slash == 0 ? "/" : file.substr(0, slash);
  const std::vector<std::string_view> from = Folders(file_folder, cwd);
  const std::vector<std::string_view> to = Folders(dir, cwd);
  size_t common = 0;
  while (common < from.size() && common < to.size() && from[common] == to[common]) ++common;
  std::string path;
  for (size_t i = common; i < from.size(); ++i) path += path.empty() ? ".." : "/..";
  for (size_t i = common; i < to.size(); ++i) {
    if (!path.empty()) path += "/";
    path += to[i];
  }
  return path.empty() ? "." : path;
}

}  // namespace karvex
