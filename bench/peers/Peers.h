#ifndef ORVEL_BENCH_PEERS_H
#define ORVEL_BENCH_PEERS_H

// The peers behind a shared-library boundary: each function does one operation the way OrvelLib's
// exported member does (the object by reference first, then the operand), compiled out of line
// into the shared library OrvelBenchPeers with the same flags. The Floor functions do nothing but
// return: they measure the call itself.

#include <math/Matrix4.h>
#include <math/Vector.h>

#include <Eigen/Core>
#include <Eigen/Geometry>
#include <glm/glm.hpp>

#if defined(__GNUC__)
#pragma GCC visibility push(default)  // the library is built with hidden visibility
#endif

namespace Peers {

namespace Floor {
OrvelMath::Matrix4& Multiply(OrvelMath::Matrix4& self, const OrvelMath::Matrix4& other);
OrvelMath::Vector4f Transform(const OrvelMath::Matrix4& m, const OrvelMath::Vector4f& v);
OrvelMath::Vector3f TransformPoint(const OrvelMath::Matrix4& m, const OrvelMath::Vector3f& p);
float Dot(OrvelMath::Vector3f& self, const OrvelMath::Vector3f& other);
OrvelMath::Vector3f& Add(OrvelMath::Vector3f& self, const OrvelMath::Vector3f& other);
float ToRadians(float degrees);
// An out-of-line copy, as a host pays it when copy assignment is a library call.
OrvelMath::Vector3f& Copy(OrvelMath::Vector3f& self, const OrvelMath::Vector3f& other);
}  // namespace Floor

namespace Glm {
glm::mat4& Multiply(glm::mat4& self, const glm::mat4& other);
glm::vec4 Transform(const glm::mat4& m, const glm::vec4& v);
glm::vec3 TransformPoint(const glm::mat4& m, const glm::vec3& p);
float Dot(const glm::vec3& self, const glm::vec3& other);
glm::vec3& Add(glm::vec3& self, const glm::vec3& other);
float ToRadians(float degrees);
}  // namespace Glm

namespace Eigen {
::Eigen::Matrix4f& Multiply(::Eigen::Matrix4f& self, const ::Eigen::Matrix4f& other);
::Eigen::Vector4f Transform(const ::Eigen::Matrix4f& m, const ::Eigen::Vector4f& v);
::Eigen::Vector3f TransformPoint(const ::Eigen::Affine3f& t, const ::Eigen::Vector3f& p);
float Dot(const ::Eigen::Vector3f& self, const ::Eigen::Vector3f& other);
::Eigen::Vector3f& Add(::Eigen::Vector3f& self, const ::Eigen::Vector3f& other);
float ToRadians(float degrees);
}  // namespace Eigen

}  // namespace Peers

#if defined(__GNUC__)
#pragma GCC visibility pop
#endif

#endif  // ORVEL_BENCH_PEERS_H
