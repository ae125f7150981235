#ifndef ORVEL_BENCH_INLINE_H
#define ORVEL_BENCH_INLINE_H

// Each operation as a header-only user writes it with glm or Eigen. Peers.cpp compiles these out
// of line into the peer library; the benchmarks also call them directly, where they inline.
//
// Orders of operation, against OrvelLib's (checked bit for bit on random inputs):
// - Matrix products, glm and Eigen: each element a0*b0 + a1*b1 + a2*b2 + a3*b3, left to right,
//   starting from the first product. OrvelLib starts from +0.0: the same bits except that an
//   element whose four products are all -0.0 is -0.0 for them and +0.0 for OrvelLib, and one more
//   dependent add per element.
// - glm matrix x vector (and so its point transform): pairwise, (m0*x + m1*y) + (m2*z + m3*w),
//   which rounds differently. Eigen: left to right from the first product, as OrvelLib.
// - Eigen's point transform is its affine form, Affine3f x Vector3f, the fastest it offers:
//   ((m0*x + m1*y) + m2*z) + m3, the bits of OrvelLib's point transform.
// - Dot products and sums: left to right, as OrvelLib.
// - Degrees to radians: one multiplication by pi/180 rounded to float, as OrvelLib.

#include <Eigen/Core>
#include <Eigen/Geometry>  // Affine3f
#include <glm/glm.hpp>

namespace Inline {

namespace Glm {
inline glm::mat4& Multiply(glm::mat4& self, const glm::mat4& other) {
  return self *= other;
}
inline glm::vec4 Transform(const glm::mat4& m, const glm::vec4& v) {
  return m * v;
}
inline glm::vec3 TransformPoint(const glm::mat4& m, const glm::vec3& p) {
  return glm::vec3(m * glm::vec4(p, 1.0f));
}
inline float Dot(const glm::vec3& self, const glm::vec3& other) {
  return glm::dot(self, other);
}
inline glm::vec3& Add(glm::vec3& self, const glm::vec3& other) {
  return self += other;
}
inline float ToRadians(float degrees) {
  return glm::radians(degrees);
}
}  // namespace Glm

namespace Eigen {
inline ::Eigen::Matrix4f& Multiply(::Eigen::Matrix4f& self, const ::Eigen::Matrix4f& other) {
  return self *= other;
}
inline ::Eigen::Vector4f Transform(const ::Eigen::Matrix4f& m, const ::Eigen::Vector4f& v) {
  return m * v;
}
inline ::Eigen::Vector3f TransformPoint(const ::Eigen::Affine3f& t, const ::Eigen::Vector3f& p) {
  return t * p;
}
inline float Dot(const ::Eigen::Vector3f& self, const ::Eigen::Vector3f& other) {
  return self.dot(other);
}
inline ::Eigen::Vector3f& Add(::Eigen::Vector3f& self, const ::Eigen::Vector3f& other) {
  return self += other;
}
inline float ToRadians(float degrees) {
  return degrees * static_cast<float>(EIGEN_PI / 180.0);
}
}  // namespace Eigen

}  // namespace Inline

#endif  // ORVEL_BENCH_INLINE_H
