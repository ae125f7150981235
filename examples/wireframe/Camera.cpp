#include "Camera.h"

#include "FloatBits.h"

#include <algorithm>
#include <array>
#include <cstdint>

using OrvelMath::Matrix4;
using OrvelMath::ToRadians;
using OrvelMath::Vector3f;

namespace {

// The eye's distance from the centre of the box, in sums of the box's half sides. That sum is at
// least the distance from the centre to any corner, so the whole box stays in front of the eye
// however it is turned, and 1.5 of it gives the trefoil the perspective it always had.
const double kEyeDistance = 1.5;

// The larger side of the box's outline on the picture spans this share of the picture.
const double kFill = 0.95;

// Meshes are scaled by a power of two in this range: a normal float, so the scaling is exact.
const double kSmallestScale = 0x1p-126;
const double kLargestScale = 0x1p127;

using Triple = std::array<double, 3>;

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

// A rotation of column vectors about the x axis, counter-clockwise when looking down the axis
// towards the origin.
Matrix4 RotationX(float degrees) {
  const SinCos a = SinCosOf(ToRadians(degrees));
  Matrix4 r(1.0f);
  r.m[5] = a.cos;
  r.m[6] = a.sin;
  r.m[9] = -a.sin;
  r.m[10] = a.cos;
  return r;
}

Matrix4 Translation(float x, float y, float z) {
  Matrix4 t(1.0f);
  t.m[12] = x;
  t.m[13] = y;
  t.m[14] = z;
  return t;
}

Matrix4 Scaling(float factor) {
  Matrix4 s(factor);
  s.m[15] = 1.0f;
  return s;
}

// The demo's viewpoint: mesh y points up the picture, tipped 35 degrees away from the eye, and x
// to the right, so a model written the way OBJ exporters write them (y up, its front facing +z)
// stands upright and is seen from the front and a little above.
Matrix4 ModelRotation() {
  return RotationX(-35.0f);
}

struct Box {
  Triple low;
  Triple high;
};

// `value` in double, exactly, even when it is a denormal that a host's denormals-are-zero mode
// would read as 0: such a value is rebuilt from its bits instead.
double Widened(float value) {
  const std::uint32_t bits = BitsOf(value);
  if ((bits & 0x7f800000u) != 0) return value;
  const double magnitude = static_cast<double>(bits & 0x007fffffu) * 0x1p-149;
  return (bits & 0x80000000u) != 0 ? -magnitude : magnitude;
}

Triple Widened(const Vector3f& v) {
  return {Widened(v.x), Widened(v.y), Widened(v.z)};
}

Box BoundsOf(const std::vector<Vector3f>& vertices) {
  Box box{Widened(vertices.front()), Widened(vertices.front())};
  for (const Vector3f& v : vertices) {
    const Triple p = Widened(v);
    for (int i = 0; i < 3; ++i) {
      box.low[i] = std::min(box.low[i], p[i]);
      box.high[i] = std::max(box.high[i], p[i]);
    }
  }
  return box;
}

// The power of two that brings the box's largest side into [1, 2). Scaling by it is exact, so
// what follows sees the same numbers for copies of a mesh at any size, and numbers far from
// overflow and from the denormals a host may flush to zero.
double UnitScale(const Box& box) {
  double side = 0.0;
  for (int i = 0; i < 3; ++i) side = std::max(side, box.high[i] - box.low[i]);
  double scale = 1.0;
  if (side == 0.0) return scale;  // a single point
  while (side * scale >= 2.0 && scale > kSmallestScale) scale *= 0.5;
  while (side * scale < 1.0 && scale < kLargestScale) scale *= 2.0;
  return scale;
}

Box Scaled(const Box& box, double factor) {
  Box scaled = box;
  for (int i = 0; i < 3; ++i) {
    scaled.low[i] *= factor;
    scaled.high[i] *= factor;
  }
  return scaled;
}

// The centre as the float translation holds it.
Triple CentreOf(const Box& box) {
  Triple centre;
  for (int i = 0; i < 3; ++i) centre[i] = static_cast<float>((box.low[i] + box.high[i]) * 0.5);
  return centre;
}

double SumOfHalfSides(const Box& box) {
  double sum = 0.0;
  for (int i = 0; i < 3; ++i) sum += (box.high[i] - box.low[i]) * 0.5;
  return sum;
}

// Corner i of the box: bit k of i picks the low or the high end on axis k.
Triple Corner(const Box& box, int i) {
  Triple corner;
  for (int k = 0; k < 3; ++k) corner[k] = ((i >> k) & 1) != 0 ? box.high[k] : box.low[k];
  return corner;
}

// The box as the eye sees it: the extent of x / d and y / d over its corners, where d is the
// distance in front of the eye that the perspective divides by, and the range of d.
struct Outline {
  double left, right, bottom, top;
  double nearest, farthest;
};

Outline OutlineOf(const Box& box, const Triple& centre, const Matrix4& model, double eyeDistance) {
  Outline outline{};
  for (int i = 0; i < 8; ++i) {
    const Triple corner = Corner(box, i);
    Triple eye{};  // turned about the centre, as the model matrix turns it
    for (int row = 0; row < 3; ++row) {
      for (int k = 0; k < 3; ++k) eye[row] += model.m[4 * k + row] * (corner[k] - centre[k]);
    }
    const double depth = eyeDistance - eye[2];
    const double x = eye[0] / depth, y = eye[1] / depth;
    const bool first = i == 0;
    outline.left = first ? x : std::min(outline.left, x);
    outline.right = first ? x : std::max(outline.right, x);
    outline.bottom = first ? y : std::min(outline.bottom, y);
    outline.top = first ? y : std::max(outline.top, y);
    outline.nearest = first ? depth : std::min(outline.nearest, depth);
    outline.farthest = first ? depth : std::max(outline.farthest, depth);
  }
  return outline;
}

// Right-handed perspective looking down -z, onto clip coordinates whose w is the distance in
// front of the eye, zoomed and shifted so that the outline fills kFill of the picture, centred.
// The near and far planes lie well outside the box. Elements are rounded once to float.
Matrix4 Projection(const Outline& outline) {
  const double span = std::max(outline.right - outline.left, outline.top - outline.bottom);
  const double zoom = span > 0.0 ? 2.0 * kFill / span : 1.0;  // a single point has no extent
  const double zNear = 0.5 * outline.nearest, zFar = 2.0 * outline.farthest;
  Matrix4 p;  // all zero
  p.m[0] = static_cast<float>(zoom);
  p.m[5] = static_cast<float>(zoom);
  p.m[8] = static_cast<float>(zoom * ((outline.left + outline.right) * 0.5));
  p.m[9] = static_cast<float>(zoom * ((outline.bottom + outline.top) * 0.5));
  p.m[10] = static_cast<float>((zFar + zNear) / (zNear - zFar));
  p.m[11] = -1.0f;
  p.m[14] = static_cast<float>(2.0 * zFar * zNear / (zNear - zFar));
  return p;
}

}  // namespace

Matrix4 FramingTransform(const std::vector<Vector3f>& vertices) {
  const Box bounds = BoundsOf(vertices);
  const double scale = UnitScale(bounds);
  const Box box = Scaled(bounds, scale);
  const Triple centre = CentreOf(box);
  // At least 0.5, a unit box's least sum: a single point still needs the eye in front of it.
  const float eyeDistance = static_cast<float>(kEyeDistance * std::max(SumOfHalfSides(box), 0.5));
  const Matrix4 model = ModelRotation();

  Matrix4 transform = Projection(OutlineOf(box, centre, model, eyeDistance));
  transform *= Translation(0.0f, 0.0f, -eyeDistance);  // view: the eye on the z axis
  transform *= model;
  transform *= Translation(static_cast<float>(-centre[0]), static_cast<float>(-centre[1]),
                           static_cast<float>(-centre[2]));
  transform *= Scaling(static_cast<float>(scale));  // applied first: the mesh at unit size
  return transform;
}
