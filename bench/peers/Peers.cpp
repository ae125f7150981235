#include "peers/Peers.h"

#include "peers/Inline.h"

namespace Peers {

namespace Floor {
OrvelMath::Matrix4& Multiply(OrvelMath::Matrix4& self, const OrvelMath::Matrix4&) {
  return self;
}
OrvelMath::Vector4f Transform(const OrvelMath::Matrix4&, const OrvelMath::Vector4f& v) {
  return v;
}
OrvelMath::Vector3f TransformPoint(const OrvelMath::Matrix4&, const OrvelMath::Vector3f& p) {
  return p;
}
float Dot(OrvelMath::Vector3f& self, const OrvelMath::Vector3f&) {
  return self.x;
}
OrvelMath::Vector3f& Add(OrvelMath::Vector3f& self, const OrvelMath::Vector3f&) {
  return self;
}
float ToRadians(float degrees) {
  return degrees;
}
OrvelMath::Vector3f& Copy(OrvelMath::Vector3f& self, const OrvelMath::Vector3f& other) {
  self.x = other.x;
  self.y = other.y;
  self.z = other.z;
  return self;
}
}  // namespace Floor

// Out-of-line copies of the inline versions: the like-for-like comparison with OrvelLib.
#define ORVEL_BENCH_EXPORT_PEER(Library, Matrix, PointMatrix, Vector4, Vector3) \
  namespace Library {                                                           \
  Matrix& Multiply(Matrix& self, const Matrix& other) {                         \
    return Inline::Library::Multiply(self, other);                              \
  }                                                                             \
  Vector4 Transform(const Matrix& m, const Vector4& v) {                        \
    return Inline::Library::Transform(m, v);                                    \
  }                                                                             \
  Vector3 TransformPoint(const PointMatrix& m, const Vector3& p) {              \
    return Inline::Library::TransformPoint(m, p);                               \
  }                                                                             \
  float Dot(const Vector3& self, const Vector3& other) {                        \
    return Inline::Library::Dot(self, other);                                   \
  }                                                                             \
  Vector3& Add(Vector3& self, const Vector3& other) {                           \
    return Inline::Library::Add(self, other);                                   \
  }                                                                             \
  float ToRadians(float degrees) {                                              \
    return Inline::Library::ToRadians(degrees);                                 \
  }                                                                             \
  }

ORVEL_BENCH_EXPORT_PEER(Glm, glm::mat4, glm::mat4, glm::vec4, glm::vec3)
ORVEL_BENCH_EXPORT_PEER(Eigen, ::Eigen::Matrix4f, ::Eigen::Affine3f, ::Eigen::Vector4f,
                        ::Eigen::Vector3f)

#undef ORVEL_BENCH_EXPORT_PEER

}  // namespace Peers
