// The web page's way into the demo: draw(path) draws a mesh file from Emscripten's in-memory file
// system with the command-line demo's own code. Each call is a drawing of its own; nothing is kept
// between calls.

#include "Drawing.h"

#include <emscripten/bind.h>

#include <exception>
#include <string>
#include <utility>

namespace {

// A drawing, or the message of what stopped it (the command-line demo's, "cube.obj:14: ...").
struct PageDrawing {
  std::string counts;
  std::string svg;
  std::string digest;
  std::string error;
};

PageDrawing Draw(const std::string& path) {
  try {
    Drawing drawing = DrawMesh(path);
    return {std::move(drawing.counts), std::move(drawing.svg), std::move(drawing.digest), ""};
  } catch (const std::exception& error) {
    return {"", "", "", error.what()};
  }
}

}  // namespace

EMSCRIPTEN_BINDINGS(OrvelDemo) {
  emscripten::value_object<PageDrawing>("Drawing")
      .field("counts", &PageDrawing::counts)
      .field("svg", &PageDrawing::svg)
      .field("digest", &PageDrawing::digest)
      .field("error", &PageDrawing::error);
  emscripten::function("draw", &Draw);
}
