# WebAssembly: OrvelLib as a static library built by Debian's Emscripten 3.1.6, the tests and the
# demo run under Node.js. The MVP instruction set has no fused multiply-add.
# The tests fail on any changed result bit, and the audit among them on any fused instruction.
source "$(dirname "$0")/../common.sh"
apt_install "${BASE_PACKAGES[@]}" "${CROSS_PACKAGES[@]}"
# The recipe of docs/webassembly.md as written: the workflow, then the demo under Node.js.
CTEST_PARALLEL_LEVEL=2 timeout 900 \
  bash -euo pipefail -c "$(doc_recipe docs/webassembly.md "wasm32-stage: workflow-and-demo")"
