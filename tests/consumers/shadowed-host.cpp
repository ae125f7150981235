// A host with a math/Vector.h of its own ahead of OrvelLib's headers on its include path, which
// includes OrvelLib as <OrvelLib/...>: OrvelLib's headers must still find each other. It exits 0
// only when every call gave the known answer.
//
//   shadowed-host <file>   <file> is any non-empty text file, read with ReadFromFile

#include "math/Vector.h"  // the host's own

#include <OrvelLib/OrvelVersion.h>
#include <OrvelLib/math/Matrix4.h>
#include <OrvelLib/utils/FileManager.h>

#include <cstdio>

static_assert(ORVELLIB_VERSION == ORVELLIB_VERSION_MAJOR * 10000 + ORVELLIB_VERSION_MINOR * 100 +
                                      ORVELLIB_VERSION_PATCH,
              "ORVELLIB_VERSION is major * 10000 + minor * 100 + patch");

int main(int argc, char** argv) {
  using namespace OrvelMath;
  if (argc != 2) {
    std::fprintf(stderr, "usage: shadowed-host <file>\n");
    return 2;
  }

  const HostMath::Vector offset = {2.0, 0.0, 0.0};
  Matrix4 model(1.0f);
  model.m[12] = static_cast<float>(offset.x);
  Vector4f moved = model.Multiply(Vector4f(1.0f, 1.0f, 1.0f, 1.0f));
  const bool moves = moved == Vector4f(3.0f, 1.0f, 1.0f, 1.0f);

  const char* text = OrvelUtils::OrvelFileManager::ReadFromFile(argv[1]);
  const bool reads = text[0] != '\0';
  if (reads) delete[] text;

  std::printf("OrvelLib %d.%d.%d (%d), Multiply: %s, ReadFromFile: %s\n", ORVELLIB_VERSION_MAJOR,
              ORVELLIB_VERSION_MINOR, ORVELLIB_VERSION_PATCH, ORVELLIB_VERSION,
              moves ? "ok" : "WRONG", reads ? "ok" : "WRONG");
  return moves && reads ? 0 : 1;
}
