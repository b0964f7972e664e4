# Sourced by make test, run, soak and dist: installs what is missing, goes to the source
# folder and configures the build folders they share, with the same options, so each command
# reuses what another one built.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$here"
"$here/scripts/setup.sh"
export MURLAVO_BUILD="$here/build"
jobs=$(nproc 2>/dev/null || echo 2)

configure() { # folder, extra cmake arguments...
  local dir=$1; shift
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$here" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  fi
}
configure_x64() { configure build/x64 -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-x86_64.cmake"; }
configure_i686() { configure build/i686 -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-i686.cmake" -DMURLAVO_TESTS=OFF; }
