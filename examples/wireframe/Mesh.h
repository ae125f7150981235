#ifndef ORVEL_EXAMPLES_WIREFRAME_MESH_H
#define ORVEL_EXAMPLES_WIREFRAME_MESH_H

// A polygon mesh in a small subset of the OBJ text format, one statement per line:
//
//   v 1.5 -2 0.25     a vertex: exactly three decimal coordinates
//   f 1 2 3 4         a face: at least three 1-based indices of vertices defined above
//                     ("2/7/1" is read as vertex 2, as OBJ writes faces with texture and normal)
//   # a comment       comments, also after a statement, and blank lines are skipped, and so
//                     are the OBJ statements that do not change the shape (vn, vt, o, g, s,
//                     usemtl, mtllib)
//
// Anything else is an error reported as "<file>:<line>: <what is wrong>".

#include <math/Vector.h>

#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

struct Mesh {
  std::vector<OrvelMath::Vector3f> vertices;
  std::vector<std::vector<std::size_t>> faces;  // 0-based indices into `vertices`
};

// Bad mesh input; what() names the file and, where there is one, the line.
class MeshError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Parses the text of a mesh file; `path` only names the file in error messages. A mesh without
// faces is an error: there would be nothing to draw.
Mesh ParseMesh(const char* text, const std::string& path);

// Reads the file with OrvelUtils::OrvelFileManager::ReadFromFile and parses it.
Mesh LoadMesh(const std::string& path);

#endif  // ORVEL_EXAMPLES_WIREFRAME_MESH_H
