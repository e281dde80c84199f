// XHTML content documents of an EPUB book, as text: whether one is well-formed XML, which
// characters its body's text holds, and the same document with some of those characters
// replaced by gaiji images. Every byte outside the replaced characters stays as it was.
#ifndef KARVEX_GAIJI_EPUB_CHAPTER_H_
#define KARVEX_GAIJI_EPUB_CHAPTER_H_

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace karvex {

/// The first fault of an XML document in UTF-8 as "line N: what", or "" when it is
/// well-formed. Only the five predefined entities are known: a DOCTYPE's declarations are
/// skipped, not read.
std::string XmlFault(std::string_view document);

/// The characters of the body's text, each once, in ascending order: the character data
/// of <body> and its descendants where an image can stand (not in script, style, title,
/// textarea, select, option, iframe, template, rp, picture, nor in SVG, MathML or other
/// elements outside the XHTML namespace). Attributes, comments, CDATA sections, entity
/// and character references and the head are left out, and so is white space (space,
/// tab, line ends), which is never a gaiji. False with *fault set ("line N: what") when
/// the document is not well-formed.
bool BodyCharacters(std::string_view document, std::vector<uint32_t>* characters,
                    std::string* fault);

/// The class of each character that becomes an image.
using GaijiClasses = std::map<uint32_t, std::string>;

/// The document with every character of `classes` in the body's text (as BodyCharacters
/// finds it) replaced by <img class="CLASS" src="FOLDER/gaiji-uXXXX.png" alt="C"/>, with
/// the prefix of the enclosing element when XHTML is a prefixed namespace there. `folder`
/// is the images' folder as a path relative to the document's ("." for the same folder).
/// False with *fault set when the document is not well-formed.
bool ReplaceGaiji(std::string_view document, const GaijiClasses& classes,
                  std::string_view folder, std::string* rewritten, std::string* fault);

/// The path from the folder that holds `file` to the folder `dir` ("." when they are the
/// same), each absolute or relative to `cwd` (an absolute path). "." and ".." are resolved
/// by name, as a URL resolves them: a symbolic link is not followed.
std::string RelativeFolder(std::string_view file, std::string_view dir, std::string_view cwd);

}  // namespace karvex

#endif  // KARVEX_GAIJI_EPUB_CHAPTER_H_
