#include "Drawing.h"

#include "Camera.h"
#include "FloatBits.h"
#include "Mesh.h"

#include <math/Matrix4.h>
#include <math/Vector.h>

#include <algorithm>
#include <cstdint>
#include <iomanip>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

using OrvelMath::Matrix4;
using OrvelMath::Vector4f;

namespace {

const int kPictureSize = 800;  // pixels, square

// FNV-1a, 64 bits, over each float's bit pattern in little-endian byte order, with every NaN
// counted as the one quiet NaN 0x7fc00000 so that a NaN's payload cannot change the digest.
class Digest {
 public:
  void Add(float value) {
    const std::uint32_t bits = IsNaN(value) ? 0x7fc00000u : BitsOf(value);
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
  if (!IsFinite(clip.w) || !(clip.w > 0.0f)) return false;  // not finite, or behind the eye
  const Point p = ToScreen(clip);
  return IsFinite(p.x) && IsFinite(p.y);
}

// Each edge once: those around the faces and those along the polylines.
std::set<std::pair<std::size_t, std::size_t>> UniqueEdges(const Mesh& mesh) {
  std::set<std::pair<std::size_t, std::size_t>> edges;
  const auto add = [&edges](std::size_t a, std::size_t b) {
    if (a != b) edges.insert(std::minmax(a, b));
  };
  for (const std::vector<std::size_t>& face : mesh.faces) {
    for (std::size_t i = 0; i < face.size(); ++i) add(face[i], face[(i + 1) % face.size()]);
  }
  for (const std::vector<std::size_t>& line : mesh.polylines) {
    for (std::size_t i = 1; i < line.size(); ++i) add(line[i - 1], line[i]);
  }
  return edges;
}

// Depth bands of the drawable vertices, near to far: far ones are drawn fainter, so that the
// picture reads as 3D.
class DepthBands {
 public:
  static constexpr int kCount = 4;

  explicit DepthBands(const std::vector<Vector4f>& clip) {
    bool any = false;
    for (const Vector4f& v : clip) {
      if (!IsDrawable(v)) continue;
      nearest_ = any ? std::min(nearest_, v.w) : v.w;
      farthest_ = any ? std::max(farthest_, v.w) : v.w;
      any = true;
    }
  }

  int Of(float depth) const {
    const float range = farthest_ - nearest_;
    const int band = range > 0.0f ? static_cast<int>((depth - nearest_) / range * kCount) : 0;
    return std::min(std::max(band, 0), kCount - 1);
  }

 private:
  float nearest_ = 0.0f;
  float farthest_ = 0.0f;
};

// "x y", to a tenth of a pixel.
std::string At(const Point& p) {
  std::ostringstream text;
  text << std::fixed << std::setprecision(1) << p.x << ' ' << p.y;
  return text.str();
}

void WritePath(std::ostream& svg, const std::string& data, const char* width, double opacity) {
  if (data.empty()) return;
  svg << "<path fill=\"none\" stroke=\"#1f4e79\" stroke-width=\"" << width
      << "\" stroke-linecap=\"round\" stroke-opacity=\"" << opacity << "\" d=\"" << data
      << "\"/>\n";
}

// Lines and dots (zero-length segments with round caps), one path of each per depth band.
// Edges with an end behind the eye, or too close to it to map, are left out, and such points too.
std::string SvgOf(const std::vector<Vector4f>& clip, const Mesh& mesh) {
  const DepthBands bands(clip);
  std::vector<std::string> lines(DepthBands::kCount), dots(DepthBands::kCount);
  for (const auto& edge : UniqueEdges(mesh)) {
    const Vector4f& a = clip[edge.first];
    const Vector4f& b = clip[edge.second];
    if (!IsDrawable(a) || !IsDrawable(b)) continue;
    const Point p = ToScreen(a), q = ToScreen(b);
    lines[bands.Of((p.depth + q.depth) * 0.5f)] += 'M' + At(p) + 'L' + At(q);
  }
  for (std::size_t index : std::set<std::size_t>(mesh.points.begin(), mesh.points.end())) {
    if (!IsDrawable(clip[index])) continue;
    const Point p = ToScreen(clip[index]);
    dots[bands.Of(p.depth)] += 'M' + At(p) + "h0";
  }

  std::ostringstream svg;
  svg << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << kPictureSize << "\" height=\""
      << kPictureSize << "\" viewBox=\"0 0 " << kPictureSize << ' ' << kPictureSize << "\">\n"
      << "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";
  for (int band = DepthBands::kCount - 1; band >= 0; --band) {  // far to near
    const double opacity = 1.0 - 0.2 * band;
    WritePath(svg, lines[band], "1.2", opacity);
    WritePath(svg, dots[band], "3.5", opacity);
  }
  svg << "</svg>\n";
  return svg.str();
}

// "768 vertices, 768 faces", then the polylines and points where there are any.
std::string Counts(const Mesh& mesh) {
  std::string counts = std::to_string(mesh.vertices.size()) + " vertices, " +
                       std::to_string(mesh.faces.size()) + " faces";
  if (!mesh.polylines.empty()) counts += ", " + std::to_string(mesh.polylines.size()) + " lines";
  if (!mesh.points.empty()) counts += ", " + std::to_string(mesh.points.size()) + " points";
  return counts;
}

}  // namespace

Drawing DrawMesh(const std::string& path) {
  const Mesh mesh = LoadMesh(path);
  const Matrix4 transform = FramingTransform(mesh.vertices);

  std::vector<Vector4f> clip;
  clip.reserve(mesh.vertices.size());
  Digest digest;
  for (const OrvelMath::Vector3f& v : mesh.vertices) {
    clip.push_back(transform.Multiply(Vector4f(v.x, v.y, v.z, 1.0f)));
    const Vector4f& c = clip.back();
    for (float component : {c.x, c.y, c.z, c.w}) digest.Add(component);
  }

  std::ostringstream digestText;
  digestText << std::hex << std::setw(16) << std::setfill('0') << digest.Value();
  return {Counts(mesh), SvgOf(clip, mesh), digestText.str()};
}
