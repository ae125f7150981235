#include "Mesh.h"

#include <utils/FileManager.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <new>

namespace {

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::vector<std::string> SplitWords(const char* begin, const char* end) {
  std::vector<std::string> words;
  for (const char* p = begin; p != end;) {
    if (IsSpace(*p)) {
      ++p;
      continue;
    }
    const char* wordEnd = p;
    while (wordEnd != end && !IsSpace(*wordEnd)) ++wordEnd;
    words.emplace_back(p, wordEnd);
    p = wordEnd;
  }
  return words;
}

bool IsSkippedStatement(const std::string& keyword) {
  static const char* const kSkipped[] = {"vn", "vt", "o", "g", "s", "usemtl", "mtllib"};
  return std::any_of(std::begin(kSkipped), std::end(kSkipped),
                     [&keyword](const char* skipped) { return keyword == skipped; });
}

class Parser {
 public:
  Parser(const std::string& path, Mesh& mesh) : path_(path), mesh_(mesh) {}

  void ParseLine(std::size_t lineNumber, std::vector<std::string> words) {
    line_ = lineNumber;
    const auto comment = std::find_if(words.begin(), words.end(),
                                      [](const std::string& word) { return word[0] == '#'; });
    words.erase(comment, words.end());
    if (words.empty() || IsSkippedStatement(words[0])) return;
    if (words[0] == "v") {
      ParseVertex(words);
    } else if (words[0] == "f") {
      ParseFace(words);
    } else {
      Fail("unknown statement '" + words[0] + "'");
    }
  }

 private:
  [[noreturn]] void Fail(const std::string& what) const {
    throw MeshError(path_ + ":" + std::to_string(line_) + ": " + what);
  }

  void ParseVertex(const std::vector<std::string>& words) {
    if (words.size() != 4) {
      Fail("a vertex needs 3 coordinates, found " + std::to_string(words.size() - 1));
    }
    float c[3];
    for (int i = 0; i < 3; ++i) c[i] = ParseCoordinate(words[i + 1]);
    mesh_.vertices.emplace_back(c[0], c[1], c[2]);
  }

  float ParseCoordinate(const std::string& word) const {
    char* end = nullptr;
    const float value = std::strtof(word.c_str(), &end);
    if (end != word.c_str() + word.size()) Fail("'" + word + "' is not a number");
    if (!std::isfinite(value)) Fail("coordinate '" + word + "' is not a finite float");
    return value;
  }

  void ParseFace(const std::vector<std::string>& words) {
    if (words.size() < 4) {
      Fail("a face needs at least 3 vertex indices, found " + std::to_string(words.size() - 1));
    }
    std::vector<std::size_t> face;
    for (std::size_t i = 1; i < words.size(); ++i) face.push_back(ParseIndex(words[i]));
    mesh_.faces.push_back(std::move(face));
  }

  // "7", or "7/..." as OBJ writes a vertex with texture and normal indices.
  std::size_t ParseIndex(const std::string& word) const {
    const std::string number = word.substr(0, word.find('/'));
    char* end = nullptr;
    errno = 0;
    const long long index = std::strtoll(number.c_str(), &end, 10);
    if (number.empty() || end != number.c_str() + number.size()) {
      Fail("'" + word + "' is not a vertex index");
    }
    const std::size_t count = mesh_.vertices.size();
    if (errno == ERANGE || index < 1 || static_cast<unsigned long long>(index) > count) {
      Fail("vertex index " + number + " is out of range: " + std::to_string(count) +
           " vertices are defined above this line");
    }
    return static_cast<std::size_t>(index - 1);
  }

  const std::string& path_;
  Mesh& mesh_;
  std::size_t line_ = 0;
};

}  // namespace

Mesh ParseMesh(const char* text, const std::string& path) {
  Mesh mesh;
  Parser parser(path, mesh);
  std::size_t lineNumber = 1;
  for (const char* line = text;; ++lineNumber) {
    const char* lineEnd = line;
    while (*lineEnd != '\0' && *lineEnd != '\n') ++lineEnd;
    parser.ParseLine(lineNumber, SplitWords(line, lineEnd));
    if (*lineEnd == '\0') break;
    line = lineEnd + 1;
  }
  if (mesh.faces.empty()) {
    throw MeshError(path + ": the mesh has no faces (" + std::to_string(mesh.vertices.size()) +
                    " vertices), so there is nothing to draw");
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
  // An empty result is either a file that could not be opened (the library has already said
  // so on stdout) or an empty file; it is never released.
  if (text[0] == '\0') throw MeshError(path + ": the file is missing, unreadable or empty");
  std::unique_ptr<const char[]> owned(text);  // a non-empty result is ours to delete[]
  return ParseMesh(text, path);
}
