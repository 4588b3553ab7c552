#!/usr/bin/env bash
# Wine loaders chosen explicitly, never through the "wine" wrapper's own choice.
#   wine-loader.sh for PROGRAM.exe   prints the loader for a program: the 64-bit loader for a
#                                    PE32+ (x86-64) program, the 32-bit loader for a PE32 one
#   wine-loader.sh 64                prints the 64-bit loader (prefixes are created with it)
#   wine-loader.sh can-run-32        exits 0 when this machine executes 32-bit x86 code; prints
#                                    why not otherwise. TESSARIN_NO_32BIT=1 forces "cannot".
set -euo pipefail
WINE32=${TESSARIN_WINE32:-/usr/lib/wine/wine}
WINE64=${TESSARIN_WINE64:-/usr/lib/wine/wine64}

# The machine field of the PE header: 0x8664 for x86-64, 0x14c for i386.
pe_machine() {
    local lfanew
    lfanew=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
    od -An -tx2 -j$((lfanew + 4)) -N2 "$1" | tr -d ' '
}

case ${1:-} in
for)
    case $(pe_machine "$2") in
    8664) echo "$WINE64" ;;
    014c) echo "$WINE32" ;;
    *) echo "wine-loader.sh: $2: not an i386 or x86-64 Windows program" >&2; exit 2 ;;
    esac
    ;;
64) echo "$WINE64" ;;
can-run-32)
    if [ "${TESSARIN_NO_32BIT:-0}" = 1 ]; then
        echo "this machine cannot execute 32-bit x86 code (forced by TESSARIN_NO_32BIT=1)"
        exit 1
    fi
    if ! out=$("$WINE32" --version 2>&1); then
        echo "this machine cannot execute 32-bit x86 code ($WINE32: ${out##*: })"
        exit 1
    fi
    ;;
*)
    echo "usage: $0 for PROGRAM | 64 | can-run-32" >&2
    exit 2
    ;;
esac
