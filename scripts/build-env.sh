# Sourced by make test, run, soak and dist: installs what is missing, goes to the source
# folder and configures the build folders they share, with the same options, so each command
# reuses what another one built. Every stage is a named step (scripts/steps.sh).
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$here/scripts/steps.sh"
cd "$here"
step "setup (Debian packages, dependency sources)" \
  "see the setup line above; it needs root or sudo and Debian's package servers when something is missing"
"$here/scripts/setup.sh"
export MURLAVO_BUILD="$here/build"
jobs=$(nproc 2>/dev/null || echo 2)

configure() { # folder, extra cmake arguments...
  local dir=$1; shift
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$here" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null \
      || fail "could not configure $dir (CMake's messages are above; 'make clean' starts the build folders afresh)"
  fi
}
configure_x64() { configure build/x64 -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-x86_64.cmake"; }
configure_i686() { configure build/i686 -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-i686.cmake" -DMURLAVO_TESTS=OFF; }
