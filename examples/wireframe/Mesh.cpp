#include "Mesh.h"

#include "FloatBits.h"

#include <utils/FileManager.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>
#include <new>
#include <system_error>

namespace {

const char kUtf16[] = "UTF-16 is not supported; save the file as UTF-8";

// Offending text longer than this many bytes is cut short in messages.
const std::size_t kShownLength = 40;

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

bool StartsWith(const char* text, const char* prefix) {
  return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

// `text` fit for a message: cut at a UTF-8 character boundary when it is long, and control
// characters shown as '?', so that a binary file cannot send escapes to the terminal.
std::string Shown(const std::string& text) {
  std::size_t length = text.size();
  if (length > kShownLength) {
    length = kShownLength;
    while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xc0u) == 0x80u) --length;
  }
  std::string shown = text.substr(0, length);
  std::replace_if(
      shown.begin(), shown.end(),
      [](char c) { return static_cast<unsigned char>(c) < 0x20u || c == '\x7f'; }, '?');
  if (length < text.size()) shown += "...";
  return shown;
}

std::vector<std::string> SplitAt(const std::string& word, char separator) {
  std::vector<std::string> pieces;
  std::size_t start = 0;
  for (std::size_t end; (end = word.find(separator, start)) != std::string::npos; start = end + 1) {
    pieces.push_back(word.substr(start, end - start));
  }
  pieces.push_back(word.substr(start));
  return pieces;
}

// The words of a line up to a comment.
std::vector<std::string> WordsOf(const char* begin, const char* end) {
  std::vector<std::string> words;
  for (const char* p = begin; p != end;) {
    if (IsSpace(*p)) {
      ++p;
      continue;
    }
    if (*p == '#') break;
    const char* wordEnd = p;
    while (wordEnd != end && !IsSpace(*wordEnd)) ++wordEnd;
    words.emplace_back(p, wordEnd);
    p = wordEnd;
  }
  return words;
}

// Drops the backslash that ends a line continued on the next one; says whether there was one.
bool TakeContinuation(std::vector<std::string>& words) {
  if (words.empty() || words.back().back() != '\\') return false;
  words.back().pop_back();
  if (words.back().empty()) words.pop_back();
  return true;
}

// A whole word as a decimal integer; one too large for long long comes out as its limit.
bool ParseInteger(const std::string& word, long long& value) {
  char* end = nullptr;
  value = std::strtoll(word.c_str(), &end, 10);
  return !word.empty() && end == word.c_str() + word.size();
}

// The OBJ statements that add no vertex, face, line or point: texture coordinates and normals,
// free-form geometry (including the superseded patch statements), grouping, display and
// rendering attributes, and csh, whose shell command is of course never run.
bool IsIgnoredStatement(const std::string& keyword) {
  static const char* const kIgnored[] = {
      "vt",    "vn",     "vp",     "cstype", "deg",    "bmat",       "step",      "curv",
      "curv2", "surf",   "parm",   "trim",   "hole",   "scrv",       "sp",        "end",
      "con",   "g",      "s",      "mg",     "o",      "bevel",      "c_interp",  "d_interp",
      "lod",   "usemtl", "mtllib", "maplib", "usemap", "shadow_obj", "trace_obj", "ctech",
      "stech", "csh",    "bsp",    "bzp",    "cdc",    "cdp",        "res"};
  return std::any_of(std::begin(kIgnored), std::end(kIgnored),
                     [&keyword](const char* ignored) { return keyword == ignored; });
}

class Parser {
 public:
  Parser(const std::string& path, Mesh& mesh) : path_(path), mesh_(mesh) {}

  void ParseStatement(std::size_t lineNumber, const std::vector<std::string>& words) {
    line_ = lineNumber;
    if (words.empty() || IsIgnoredStatement(words[0])) return;
    const std::string& keyword = words[0];
    if (keyword == "v") {
      ParseVertex(words);
    } else if (keyword == "f") {
      mesh_.faces.push_back(ParseReferences(words, 3, "a face"));
    } else if (keyword == "l") {
      mesh_.polylines.push_back(ParseReferences(words, 2, "a line"));
    } else if (keyword == "p") {
      const std::vector<std::size_t> points = ParseReferences(words, 1, "a point statement");
      mesh_.points.insert(mesh_.points.end(), points.begin(), points.end());
    } else if (keyword == "call") {
      Fail("'call' would read another file; the demo draws one file, so merge them");
    } else {
      Fail("unknown statement '" + Shown(keyword) + "'");
    }
  }

 private:
  [[noreturn]] void Fail(const std::string& what) const {
    throw MeshError(path_ + ":" + std::to_string(line_) + ": " + what);
  }

  // x y z, then nothing, a weight w or a colour r g b: all must be numbers, only x y z are kept.
  void ParseVertex(const std::vector<std::string>& words) {
    const std::size_t count = words.size() - 1;
    if (count != 3 && count != 4 && count != 6) {
      Fail("a vertex needs 3 coordinates, then optionally a weight or an r g b colour; found " +
           std::to_string(count) + " numbers");
    }
    float values[6];
    for (std::size_t i = 0; i < count; ++i) values[i] = ParseNumber(words[i + 1]);
    mesh_.vertices.emplace_back(values[0], values[1], values[2]);
  }

  float ParseNumber(const std::string& word) const {
    char* end = nullptr;
    const float value = std::strtof(word.c_str(), &end);
    if (end != word.c_str() + word.size()) Fail("'" + Shown(word) + "' is not a number");
    if (!IsFinite(value)) Fail("'" + Shown(word) + "' is not a finite float");
    return value;
  }

  std::vector<std::size_t> ParseReferences(const std::vector<std::string>& words, std::size_t least,
                                           const std::string& element) const {
    const std::size_t count = words.size() - 1;
    if (count < least) {
      Fail(element + " needs at least " + std::to_string(least) +
           (least == 1 ? " vertex index" : " vertex indices") + ", found " + std::to_string(count));
    }
    std::vector<std::size_t> indices;
    indices.reserve(count);
    for (std::size_t i = 1; i < words.size(); ++i) indices.push_back(ParseReference(words[i]));
    return indices;
  }

  // "7" or "-1", alone or followed by texture and normal indices as in "7/2", "7//3", "7/2/3";
  // those two are checked for their form only.
  std::size_t ParseReference(const std::string& word) const {
    const std::vector<std::string> pieces = SplitAt(word, '/');
    long long index = 0, ignored = 0;
    const bool wellFormed =
        pieces.size() <= 3 && ParseInteger(pieces[0], index) &&
        std::all_of(pieces.begin() + 1, pieces.end(), [&ignored](const std::string& piece) {
          return piece.empty() || ParseInteger(piece, ignored);
        });
    if (!wellFormed) Fail("'" + Shown(word) + "' is not a vertex index");
    const long long count = static_cast<long long>(mesh_.vertices.size());
    if (index == 0 || index > count || index < -count) {
      Fail("vertex index " + Shown(pieces[0]) + " is out of range: " + std::to_string(count) +
           " vertices are defined above this line");
    }
    return static_cast<std::size_t>(index > 0 ? index - 1 : count + index);
  }

  const std::string& path_;
  Mesh& mesh_;
  std::size_t line_ = 0;
};

// How many characters reading the file delivers. On Windows that is fewer than its bytes: text
// mode drops the CR of each CRLF and ends the text at a Ctrl-Z; a C++ stream in text mode
// delivers them as ReadFromFile does. 0 for anything but a regular file: a pipe can be read only
// once, and opening a FIFO again would wait for a writer.
std::uintmax_t DeliveredLength(const std::string& path) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return 0;
  std::ifstream file(path);
  file.ignore(std::numeric_limits<std::streamsize>::max());
  return static_cast<std::uintmax_t>(file.gcount());
}

// The text ends at the file's first 0 byte: stop there rather than draw part of the mesh. A 0
// byte in the first line most likely comes from UTF-16, which pairs each ASCII character with one.
void CheckNoZeroByte(const char* text, const std::string& path) {
  const std::size_t length = std::strlen(text);
  if (DeliveredLength(path) <= length) return;
  const std::size_t line = 1 + static_cast<std::size_t>(std::count(text, text + length, '\n'));
  if (line == 1) throw MeshError(path + ": " + kUtf16);
  throw MeshError(path + ":" + std::to_string(line) +
                  ": a 0 byte, which has no place in a text file");
}

}  // namespace

Mesh ParseMesh(const char* text, const std::string& path) {
  // A UTF-16 stream, which the 0-byte check can't see in a pipe.
  if (StartsWith(text, "\xff\xfe") || StartsWith(text, "\xfe\xff")) {
    throw MeshError(path + ": " + kUtf16);
  }
  if (StartsWith(text, "\xef\xbb\xbf")) text += 3;  // UTF-8 byte-order mark

  Mesh mesh;
  Parser parser(path, mesh);
  std::vector<std::string> statement;
  std::size_t firstLine = 1;  // where the statement being gathered starts
  for (std::size_t lineNumber = 1;; ++lineNumber) {
    const char* lineEnd = text + std::strcspn(text, "\n");
    std::vector<std::string> words = WordsOf(text, lineEnd);
    const bool continued = TakeContinuation(words);
    statement.insert(statement.end(), std::make_move_iterator(words.begin()),
                     std::make_move_iterator(words.end()));
    const bool lastLine = *lineEnd == '\0';
    if (!continued || lastLine) {
      parser.ParseStatement(firstLine, statement);
      statement.clear();
      firstLine = lineNumber + 1;
    }
    if (lastLine) break;
    text = lineEnd + 1;
  }

  if (mesh.vertices.empty()) {
    throw MeshError(path + ": the file defines no vertices, so there is nothing to draw");
  }
  if (mesh.faces.empty() && mesh.polylines.empty() && mesh.points.empty()) {
    for (std::size_t i = 0; i < mesh.vertices.size(); ++i) mesh.points.push_back(i);
  }
  return mesh;
}

Mesh LoadMesh(const std::string& path) {
  const char* text = nullptr;
  try {
    text = OrvelUtils::OrvelFileManager::ReadFromFile(path.c_str());
  } catch (const std::bad_alloc&) {
    throw MeshError(path + ": the file is too large to read into memory");
  }
  // An empty result is the static "", never released: a file that could not be opened (the
  // library has already said so on stdout), an empty file, or one that starts with a 0 byte.
  const std::unique_ptr<const char[]> owned(text[0] != '\0' ? text : nullptr);
  CheckNoZeroByte(text, path);
  if (text[0] == '\0') throw MeshError(path + ": the file is missing, unreadable or empty");
  return ParseMesh(text, path);
}
