#ifndef ORVEL_EXAMPLES_WIREFRAME_DRAWING_H
#define ORVEL_EXAMPLES_WIREFRAME_DRAWING_H

// The demo's work from a mesh file to a picture, shared by the command-line demo and the web page.
//
// The digest covers the bits of every transformed vertex. The library computes those vertices one
// IEEE-754 single-precision operation at a time, and the matrix comes from Camera.cpp, which
// rounds alike everywhere, so the digest is the same on every platform; the rest of the demo's
// arithmetic (w-division and screen mapping) only decides where lines land in the picture.

#include <string>

struct Drawing {
  std::string counts;  // "768 vertices, 768 faces", then the lines and points where there are any
  std::string svg;     // the wireframe picture
  std::string digest;  // fnv1a64 of the transformed vertices' bits, as 16 hex digits
};

// Reads the mesh at `path` with ReadFromFile, frames it and draws it. Bad input throws MeshError,
// whose message names the file and, where there is one, the line.
Drawing DrawMesh(const std::string& path);

#endif  // ORVEL_EXAMPLES_WIREFRAME_DRAWING_H
