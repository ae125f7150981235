#ifndef ORVEL_EXAMPLES_WIREFRAME_MESH_H
#define ORVEL_EXAMPLES_WIREFRAME_MESH_H

// A mesh in the OBJ text format as modelling tools write it, one statement per line:
//
//   v 1.5 -2 0.25          a vertex: three decimal coordinates, then optionally a weight (used by
//   v 1.5 -2 0.25 1 0 0    free-form curves) or an r g b colour, both ignored
//   f 1 2 3 4              a face: at least three vertex references
//   l 1 2 3                a polyline: at least two
//   p 1 2                  points
//   # a comment            comments, also after a statement, and blank lines are skipped
//
// A vertex reference is the 1-based index of a vertex defined above, or a negative index that
// counts back from the last of them (-1 is the latest); "2/7", "2//1" and "2/7/1" name vertex 2
// with texture and normal indices, which are ignored. The other statements of the OBJ format
// (vt, vn, vp, o, g, s, usemtl, mtllib, free-form curves and surfaces, display attributes...)
// are skipped. A line ending in a backslash continues on the next one. The text may start with
// a UTF-8 byte-order mark and may end its lines with CRLF. A file with vertices but no face,
// line or point is drawn as points.
//
// Anything else, `call` included (the demo reads only one file), is an error reported as
// "<file>:<line>: <what is wrong>".

#include <math/Vector.h>

#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

struct Mesh {
  // Indices are 0-based, into `vertices`.
  std::vector<OrvelMath::Vector3f> vertices;
  std::vector<std::vector<std::size_t>> faces;      // closed polygons
  std::vector<std::vector<std::size_t>> polylines;  // open
  std::vector<std::size_t> points;
};

// Bad mesh input; what() names the file and, where there is one, the line.
class MeshError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Parses the text of a mesh file; `path` only names the file in error messages. A mesh without
// vertices is an error: there would be nothing to draw.
Mesh ParseMesh(const char* text, const std::string& path);

// Reads the file with OrvelUtils::OrvelFileManager::ReadFromFile and parses it. A file holding a
// 0 byte (a UTF-16 file, a binary one) is an error, never a mesh cut short.
Mesh LoadMesh(const std::string& path);

#endif  // ORVEL_EXAMPLES_WIREFRAME_MESH_H
