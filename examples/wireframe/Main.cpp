// The OrvelLib wireframe demo: loads a mesh with ReadFromFile, builds model, view and projection
// matrices element by element, transforms every vertex with Matrix4::Multiply(const Vector4f&),
// and draws the edges into an SVG file.
//
//   OrvelDemo [mesh.obj [picture.svg]]
//
// It prints where the picture went and a digest of the bits of every transformed vertex. The
// library computes those vertices one IEEE-754 single-precision operation at a time, so the
// digest is the same on every platform; the demo's own arithmetic (w-division and screen
// mapping) only decides where lines land in the picture.

#include <math/Matrix4.h>
#include <math/Vector.h>

#include "Mesh.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <exception>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

using OrvelMath::Matrix4;
using OrvelMath::ToRadians;
using OrvelMath::Vector4f;

namespace {

const int kPictureSize = 800;  // pixels, square

struct SinCos {
  float sin;
  float cos;
};

// sin and cos by their Taylor series in double, rounded once to float. Platforms' libm
// functions may differ in the last bit, which could change a rounded float and with it the
// digest; these sums of basic operations come out the same everywhere. |radians| <= pi.
SinCos SinCosOf(float radians) {
  const double x = radians;
  double sinTerm = x, cosTerm = 1.0, sinSum = 0.0, cosSum = 0.0;
  for (int n = 1; n < 40; n += 2) {
    sinSum += sinTerm;
    cosSum += cosTerm;
    sinTerm *= -x * x / ((n + 1) * (n + 2));
    cosTerm *= -x * x / (n * (n + 1));
  }
  return {static_cast<float>(sinSum), static_cast<float>(cosSum)};
}

// Rotations of column vectors, counter-clockwise when looking down the axis towards the origin.
Matrix4 RotationX(float degrees) {
  const SinCos a = SinCosOf(ToRadians(degrees));
  Matrix4 r(1.0f);
  r.m[5] = a.cos;
  r.m[6] = a.sin;
  r.m[9] = -a.sin;
  r.m[10] = a.cos;
  return r;
}

Matrix4 RotationZ(float degrees) {
  const SinCos a = SinCosOf(ToRadians(degrees));
  Matrix4 r(1.0f);
  r.m[0] = a.cos;
  r.m[1] = a.sin;
  r.m[4] = -a.sin;
  r.m[5] = a.cos;
  return r;
}

Matrix4 Translation(float x, float y, float z) {
  Matrix4 t(1.0f);
  t.m[12] = x;
  t.m[13] = y;
  t.m[14] = z;
  return t;
}

// The usual right-handed perspective projection looking down -z, onto clip coordinates whose
// w is the distance in front of the eye. Elements are computed in double and rounded once.
Matrix4 Perspective(float fieldOfViewDegrees, double aspect, double zNear, double zFar) {
  const SinCos half = SinCosOf(ToRadians(fieldOfViewDegrees * 0.5f));
  const double focal = static_cast<double>(half.cos) / half.sin;
  Matrix4 p;  // all zero
  p.m[0] = static_cast<float>(focal / aspect);
  p.m[5] = static_cast<float>(focal);
  p.m[10] = static_cast<float>((zFar + zNear) / (zNear - zFar));
  p.m[11] = -1.0f;
  p.m[14] = static_cast<float>(2.0 * zFar * zNear / (zNear - zFar));
  return p;
}

// FNV-1a, 64 bits, over each float's bit pattern in little-endian byte order, with every NaN
// counted as the one quiet NaN 0x7fc00000 so that a NaN's payload cannot change the digest.
class Digest {
 public:
  void Add(float value) {
    std::uint32_t bits = 0x7fc00000u;
    if (value == value) std::memcpy(&bits, &value, sizeof bits);
    for (int shift = 0; shift < 32; shift += 8) {
      hash_ = (hash_ ^ ((bits >> shift) & 0xffu)) * 0x100000001b3u;
    }
  }
  std::uint64_t Value() const { return hash_; }

 private:
  std::uint64_t hash_ = 0xcbf29ce484222325u;
};

struct Point {
  float x;
  float y;
  float depth;  // clip w: distance in front of the eye
};

// The demo's own arithmetic: divide by w and map [-1, 1] to the picture, y pointing down.
Point ToScreen(const Vector4f& clip) {
  const float half = kPictureSize * 0.5f;
  return {(clip.x / clip.w + 1.0f) * half, (1.0f - clip.y / clip.w) * half, clip.w};
}

// In front of the eye, and on finite picture coordinates (any mesh may come in).
bool IsDrawable(const Vector4f& clip) {
  if (!(clip.w > 0.0f)) return false;  // behind the eye, or NaN
  const Point p = ToScreen(clip);
  return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.depth);
}

std::set<std::pair<std::size_t, std::size_t>> UniqueEdges(const Mesh& mesh) {
  std::set<std::pair<std::size_t, std::size_t>> edges;
  for (const std::vector<std::size_t>& face : mesh.faces) {
    for (std::size_t i = 0; i < face.size(); ++i) {
      const std::size_t a = face[i], b = face[(i + 1) % face.size()];
      if (a != b) edges.insert(std::minmax(a, b));
    }
  }
  return edges;
}

// Edges drawn as one path per depth band, the far bands fainter, so the picture reads as 3D.
// Edges with an end behind the eye, or too close to it to map, are left out.
void WriteSvg(const std::string& path, const std::vector<Vector4f>& clip, const Mesh& mesh) {
  const int kBands = 4;
  float nearest = 0.0f, farthest = 0.0f;
  bool any = false;
  for (const Vector4f& v : clip) {
    if (!IsDrawable(v)) continue;
    nearest = any ? std::min(nearest, v.w) : v.w;
    farthest = any ? std::max(farthest, v.w) : v.w;
    any = true;
  }
  const float range = farthest - nearest;
  std::vector<std::string> bands(kBands);
  for (const auto& edge : UniqueEdges(mesh)) {
    const Vector4f& a = clip[edge.first];
    const Vector4f& b = clip[edge.second];
    if (!IsDrawable(a) || !IsDrawable(b)) continue;
    const Point p = ToScreen(a), q = ToScreen(b);
    const float depth = (p.depth + q.depth) * 0.5f;
    int band = range > 0.0f ? static_cast<int>((depth - nearest) / range * kBands) : 0;
    band = std::min(std::max(band, 0), kBands - 1);
    std::ostringstream segment;
    segment << std::fixed << std::setprecision(1) << 'M' << p.x << ' ' << p.y << 'L' << q.x << ' '
            << q.y;
    bands[band] += segment.str();
  }

  std::ofstream svg(path, std::ios::binary);
  svg << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << kPictureSize << "\" height=\""
      << kPictureSize << "\" viewBox=\"0 0 " << kPictureSize << ' ' << kPictureSize << "\">\n"
      << "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";
  for (int band = kBands - 1; band >= 0; --band) {  // far to near
    svg << "<path fill=\"none\" stroke=\"#1f4e79\" stroke-width=\"1.2\" stroke-linecap=\"round\""
        << " stroke-opacity=\"" << 1.0 - 0.2 * band << "\" d=\"" << bands[band] << "\"/>\n";
  }
  svg << "</svg>\n";
  svg.close();
  if (!svg) throw std::runtime_error(path + ": cannot write the picture");
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
    const Mesh mesh = LoadMesh(meshPath);

    // Model: stand one lobe of the knot upright, then tip the top away from the eye.
    Matrix4 model = RotationX(-35.0f);
    model.Multiply(RotationZ(90.0f));
    // View: the eye 12 units in front of the origin, looking down -z.
    const Matrix4 view = Translation(0.0f, 0.0f, -12.0f);
    Matrix4 transform = Perspective(40.0f, 1.0, 1.0, 100.0);
    transform *= view;
    transform *= model;  // clip = projection x view x model x vertex

    std::vector<Vector4f> clip;
    clip.reserve(mesh.vertices.size());
    Digest digest;
    for (const OrvelMath::Vector3f& v : mesh.vertices) {
      clip.push_back(transform.Multiply(Vector4f(v.x, v.y, v.z, 1.0f)));
      const Vector4f& c = clip.back();
      for (float component : {c.x, c.y, c.z, c.w}) digest.Add(component);
    }

    WriteSvg(svgPath, clip, mesh);
    std::cout << "mesh:    " << meshPath << " (" << mesh.vertices.size() << " vertices, "
              << mesh.faces.size() << " faces)\n"
              << "picture: " << svgPath << '\n'
              << "digest:  fnv1a64 " << std::hex << std::setw(16) << std::setfill('0')
              << digest.Value() << std::endl;
    return 0;
  } catch (const std::exception& error) {
    std::cerr << "OrvelDemo: " << error.what() << std::endl;
    return 1;
  }
}
