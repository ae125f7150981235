// The OrvelLib wireframe demo: loads a mesh with ReadFromFile, frames it with model, view and
// projection matrices built element by element, transforms every vertex with
// Matrix4::Multiply(const Vector4f&), and draws the edges and points into an SVG file.
//
//   OrvelDemo [mesh.obj [picture.svg]]
//
// It prints where the picture went and a digest of the bits of every transformed vertex, the same
// on every platform (see Drawing.h).

#include "Drawing.h"

#include <exception>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <string>

namespace {

void WritePicture(const std::string& path, const std::string& svg) {
  std::ofstream file(path, std::ios::binary);
  file << svg;
  file.close();
  if (!file) throw std::runtime_error(path + ": cannot write the picture");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 3 || (argc > 1 && argv[1][0] == '-')) {
    std::cerr << "usage: OrvelDemo [mesh.obj [picture.svg]]\n"
              << "Draws the mesh (by default " ORVEL_DEMO_DEFAULT_MESH ") as a wireframe SVG "
              << "(by default demo.svg) and prints a digest of the transformed vertices.\n";
    return 2;
  }
  const std::string meshPath = argc > 1 ? argv[1] : ORVEL_DEMO_DEFAULT_MESH;
  const std::string svgPath = argc > 2 ? argv[2] : "demo.svg";

  try {
    const Drawing drawing = DrawMesh(meshPath);
    WritePicture(svgPath, drawing.svg);
    std::cout << "mesh:    " << meshPath << " (" << drawing.counts << ")\n"
              << "picture: " << svgPath << '\n'
              << "digest:  fnv1a64 " << drawing.digest << std::endl;
    return 0;
  } catch (const std::exception& error) {
    std::cerr << "OrvelDemo: " << error.what() << std::endl;
    return 1;
  }
}
