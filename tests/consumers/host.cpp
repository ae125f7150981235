// A host program as OrvelLib's users write it, including OrvelLib's headers as <math/...>. The
// consumer checks build it in every way a host can take OrvelLib (tests/consumers/hosts.cmake)
// and run it: it exits 0 only when every call gave the known answer.
//
//   host <file>   <file> is any non-empty text file, read with ReadFromFile

#include <math/Matrix4.h>
#include <math/Vector.h>
#include <utils/FileManager.h>

#include <cstdio>

int main(int argc, char** argv) {
  using namespace OrvelMath;
  if (argc != 2) {
    std::fprintf(stderr, "usage: host <file>\n");
    return 2;
  }

  Matrix4 model(1.0f);
  model.m[12] = 2.0f;  // translate by (2, 0, 0)
  Vector3f moved = model.Multiply(Vector3f(1.0f, 1.0f, 1.0f));
  const bool moves = moved == Vector3f(3.0f, 1.0f, 1.0f);
  const bool converts = ToRadians(180.0f) == 3.14159274f;  // the float nearest pi

  const char* text = OrvelUtils::OrvelFileManager::ReadFromFile(argv[1]);
  const bool reads = text[0] != '\0';
  if (reads) delete[] text;  // a non-empty result belongs to the caller

  std::printf("Multiply: %s, ToRadians: %s, ReadFromFile: %s\n", moves ? "ok" : "WRONG",
              converts ? "ok" : "WRONG", reads ? "ok" : "WRONG");
  return moves && converts && reads ? 0 : 1;
}
