#ifndef HOST_MATH_VECTOR_H
#define HOST_MATH_VECTOR_H

// The host's own math/Vector.h, a common name: OrvelLib's headers must never take it for theirs
// (Matrix4.h would then find no Vector4f).

namespace HostMath {

struct Vector {
  double x;
  double y;
  double z;
};

}  // namespace HostMath

#endif  // HOST_MATH_VECTOR_H
