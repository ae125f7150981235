# Disassembles the library and fails on any fused multiply-add instruction of its architecture,
# naming each one and the function that holds it. The architecture comes from the file format
# objdump reports, so the check needs no knowledge of the build. Inputs: LIBRARY, OBJDUMP (GNU
# objdump for the target, or llvm-objdump).
#
# Two targets have no fused instruction at all: WebAssembly's MVP (relaxed SIMD is not enabled)
# and armhf's VFPv3-D16, whose vmla rounds the product before the add and so gives the bits of a
# vmul and a vadd. Their patterns catch the fused forms of newer instruction sets (VFPv4's vfma).

cmake_minimum_required(VERSION 3.21)

execute_process(
  COMMAND "${OBJDUMP}" -d "${LIBRARY}"
  OUTPUT_VARIABLE disassembly
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "could not disassemble ${LIBRARY}")
endif()

# Per architecture: the fused forms, and the single-precision multiply that the library's code
# must contain, which proves the disassembler decoded its float arithmetic.
if(disassembly MATCHES "file format (elf64-x86-64|elf32-i386|pei?-x86-64|coff-x86-64)")
  set(architecture x86)
  # FMA3 and FMA4, scalar and packed.
  set(fused "vfn?m(add|sub)[0-9a-z]*")
  set(multiply "v?mul[sp]s")
elseif(disassembly MATCHES "file format elf64-(little|big)aarch64")
  set(architecture AArch64)
  # Scalar, and vector or by-element fmla and fmls.
  set(fused "fn?m(add|sub)|fml[as][a-z0-9]*")
  set(multiply "fmul")
elseif(disassembly MATCHES "file format elf64-powerpc")
  set(architecture POWER)
  # The FPU's, and VSX scalar and vector forms.
  set(fused "fn?m(add|sub)s?\\.?|x[sv]n?m(add|sub)[a-z]*")
  set(multiply "fmuls|x[sv]mulsp")
elseif(disassembly MATCHES "file format elf64-s390")
  set(architecture s390x)
  # Binary floating point, and the vector facility's forms (not vfmsb, a plain multiply).
  set(fused "m[as][ed]br?|[vw]fn?m[as]([sdx]b)?")
  set(multiply "meebr?|[vw]fmsb")
elseif(disassembly MATCHES "file format elf64-littleriscv")
  set(architecture RISC-V)
  # Scalar, and the vector extension's forms.
  set(fused "fn?m(add|sub)\\.[hsdq]|vfn?m(acc|sac|add|sub)\\.[a-z.]+")
  set(multiply "fmul\\.s")
elseif(disassembly MATCHES "file format elf32-(little|big)arm")
  set(architecture ARM)
  # VFPv4 and NEON fused forms; vmla and vmls, which are not fused, count as multiplies.
  set(fused "vfn?m[as](\\.f[0-9]+)?")
  set(multiply "vn?m(ul|l[as])\\.f32")
elseif(disassembly MATCHES "file format wasm")
  set(architecture WebAssembly)
  # Only relaxed SIMD (not enabled) has fused forms, under names that changed over its drafts.
  set(fused "f[0-9]+x[0-9]+\\.(relaxed_)?(n?madd|n?fm[as]|qfm[as])")
  set(multiply "f32(x4)?\\.mul")
else()
  message(FATAL_ERROR "no fused multiply-add patterns for the format of ${LIBRARY}")
endif()

# A mnemonic stands between blanks, never inside a symbol name such as <fmadd@plt>.
string(REGEX MATCHALL "[\t ](${multiply})[\t \n]" multiplies "${disassembly}")
list(LENGTH multiplies multiplies)
string(REGEX MATCHALL "[\t ](${fused})[\t \n]" hits "${disassembly}")
list(LENGTH hits count)

if(count GREATER 0)
  # Name each instruction and its function, one line at a time ([ and ; would otherwise group or
  # split lines in CMake's lists).
  string(REPLACE ";" "," disassembly "${disassembly}")
  string(REPLACE "[" "(" disassembly "${disassembly}")
  string(REPLACE "]" ")" disassembly "${disassembly}")
  string(REPLACE "\n" ";" lines "${disassembly}")
  set(function "?")
  set(hits "")
  foreach(line IN LISTS lines)
    if(line MATCHES "^[0-9a-fA-F]+ <([^>]+)>:")
      set(function "${CMAKE_MATCH_1}")
    elseif("${line} " MATCHES "[\t ](${fused})[\t ]")
      list(APPEND hits "${CMAKE_MATCH_1} in ${function}")
    endif()
  endforeach()
  list(JOIN hits "\n  " hits)
  message(FATAL_ERROR "${count} fused multiply-add instructions (${architecture}):\n  ${hits}")
endif()
if(multiplies EQUAL 0)
  message(FATAL_ERROR
    "no single-precision multiply found: ${OBJDUMP} does not decode ${architecture} float code")
endif()
message(STATUS "${architecture}: ${multiplies} single-precision multiplies, no fused multiply-add")
