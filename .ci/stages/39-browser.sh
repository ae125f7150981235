# The browser leg: the web pages, built by Debian's Emscripten for browsers and linking the same
# libOrvelLib.a as the wasm32 leg, run in Debian's headless Chromium and Firefox.
# tests/browser/check-pages.js serves them on 127.0.0.1 and drives Chromium over the DevTools
# protocol: the golden workload must give the golden digest, and the demo page must draw the
# default mesh and files taken through its picker with the native demo's digest, picture and
# messages. Firefox opens the golden workload and the demo page, which post their results to the
# same server, checked in the same way. Any changed bit, page error, crash or time-out fails the
# stage.
source "$(dirname "$0")/../common.sh"
apt_install "${BASE_PACKAGES[@]}" "${BROWSER_PACKAGES[@]}"

cmake --preset wasm32-web >/dev/null
cmake --build --preset wasm32-web
# The native demo the pages are compared with.
cmake --preset demo >/dev/null
cmake --build --preset demo --target OrvelDemo

# The very archive the wasm32 leg tests, byte for byte (the wasm32 stage has built it already).
cmake --preset wasm32 >/dev/null
cmake --build --preset wasm32 --target OrvelLib
cmp build/wasm32/lib/libOrvelLib.a build/wasm32-web/lib/libOrvelLib.a

# The driver gives each of its steps (a browser starting, a page giving its result) a minute and
# names the one that runs out; this time-out is only a backstop, above its ten or so steps. It
# stops its server and the browsers on any exit; Chromium also ends when its pipe to the driver
# closes. The trap ends the driver if the stage is stopped first.
timeout --kill-after=10 900 \
  node tests/browser/check-pages.js build/wasm32-web/web build/demo/examples/OrvelDemo &
driver=$!
trap 'kill "${driver}" 2>/dev/null || true' EXIT
wait "${driver}"
