#ifndef ORVEL_EXAMPLES_WIREFRAME_CAMERA_H
#define ORVEL_EXAMPLES_WIREFRAME_CAMERA_H

// The demo's camera: the one part of the demo whose arithmetic reaches the library. It is built
// with the strict float flags whatever flags the rest of the demo gets, uses no libm, and keeps
// its intermediates far from the denormal range (a host may flush denormals to zero), so the
// matrix it returns has the same bits on every platform and in every build.

#include <math/Matrix4.h>
#include <math/Vector.h>

#include <vector>

// clip = projection x view x model for the demo's fixed viewpoint, with the bounding box of
// `vertices` centred in the picture and its outline filling most of it. Depends only on the
// coordinates: a copy of a mesh scaled by a power of two (and moved by the same factor) gives
// the same clip coordinates, bit for bit. `vertices` must not be empty.
OrvelMath::Matrix4 FramingTransform(const std::vector<OrvelMath::Vector3f>& vertices);

#endif  // ORVEL_EXAMPLES_WIREFRAME_CAMERA_H
