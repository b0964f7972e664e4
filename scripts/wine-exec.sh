#!/usr/bin/env bash
# Runs a Windows program under Wine with the build's private prefix (CTest's emulator).
here=$(cd "$(dirname "$0")" && pwd)
: "${MURLAVO_BUILD:=$here/../build}"
. "$here/wine-env.sh"
exec "$WINE" "$@"
