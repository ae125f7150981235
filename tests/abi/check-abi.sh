#!/usr/bin/env bash
# Compares the ABI of a built libOrvelLib.so.<major> with its committed baseline,
# tests/abi/<soname>.abi: the exported functions and the layout of every type they use (sizes,
# members, offsets), read from the library's DWARF. Any change fails, except added functions.
#
#   tests/abi/check-abi.sh <library>            compare (CI's consumer stage does this)
#   tests/abi/check-abi.sh --update <library>   write the baseline again
#
# <library> must carry debug information, as the package preset's build does:
#   cmake --workflow --preset package && tests/abi/check-abi.sh build/package/lib/libOrvelLib.so.1
#
# Write the baseline again only with a new SOVERSION (the soname names the file, so a new major
# version needs a new baseline anyway), or after reviewing a report that shows nothing a program
# built against the old library could notice (an exported function turning into a GNU indirect
# function, selected at load time, is reported as a change of symbol type).
set -euo pipefail

update=false
if [[ ${1-} == --update ]]; then
  update=true
  shift
fi
if (($# != 1)); then
  echo "usage: $0 [--update] <libOrvelLib.so.N built with debug information>" >&2
  exit 2
fi
library=$1

if ! grep -q '\.debug_info' <<<"$(readelf -S "${library}")"; then
  echo "${library} has no debug information: build it as the package preset does" >&2
  exit 1
fi
soname=$(readelf -d "${library}" | sed -n 's/.*Library soname: \[\(.*\)\]/\1/p')
baseline="$(dirname "$0")/${soname}.abi"
# Only what the library exports, and no paths of the machine that built it.
options=(--exported-interfaces-only)

if ${update}; then
  abidw "${options[@]}" --drop-undefined-syms --no-corpus-path --no-comp-dir-path --short-locs \
    --no-show-locs --type-id-style hash --out-file "${baseline}" "${library}"
  echo "wrote ${baseline}"
  exit 0
fi

if [[ ! -f ${baseline} ]]; then
  echo "no ABI baseline ${baseline} for ${soname}: write one with $0 --update" >&2
  exit 1
fi
# abidiff's status is a bit mask; with added functions left out of the report, any bit fails.
if ! abidiff "${options[@]}" --no-added-syms "${baseline}" "${library}"; then
  echo "the ABI of ${soname} differs from ${baseline}" >&2
  exit 1
fi
echo "ABI of ${soname}: as in ${baseline}"
