# PNG: libspng 0.7.3 inflating with zlib 1.2.13, both from Debian's source packages
# (scripts/setup.sh unpacks them into the dependency cache) and linked statically into every
# flavour, built by the small project in cmake/png-deps.
#  - Windows flavours: built once per target into the dependency cache, like libjpeg-turbo.
#  - native and fuzz builds: built into the build folder with the same sanitizers (and, for
#    the fuzz build, the same coverage) as our own code, so the decoder's memory is checked too.
# MURLAVO_CACHE comes from cmake/jpeg.cmake.
add_library(png_lib INTERFACE)
set(ZLIB_SOURCE "${MURLAVO_CACHE}/zlib-src")
set(SPNG_SOURCE "${MURLAVO_CACHE}/libspng-src")
foreach(source "${ZLIB_SOURCE}/inflate.c" "${SPNG_SOURCE}/spng/spng.c")
  if(NOT EXISTS "${source}")
    message(FATAL_ERROR "${source} missing: run scripts/setup.sh")
  endif()
endforeach()
# The pictures of libpng's source package the tests read (contrib/pngsuite, contrib/testpngs).
set(PNG_TEST_SOURCE "${MURLAVO_CACHE}/libpng-src")

set(png_args -DZLIB_SOURCE=${ZLIB_SOURCE} -DSPNG_SOURCE=${SPNG_SOURCE})
if(WIN32 AND CMAKE_CROSSCOMPILING)
  set(PNG_PREFIX "${MURLAVO_CACHE}/spng-0.7.3-zlib-1.2.13-${MINGW_TRIPLE}")
  list(APPEND png_args -DCMAKE_TOOLCHAIN_FILE=${CMAKE_TOOLCHAIN_FILE} -DCMAKE_BUILD_TYPE=Release)
  if(MINGW_TRIPLE MATCHES "^i686")
    list(APPEND png_args -DSPNG_PORTABLE=ON)
  endif()
  set(png_always OFF)
else()
  set(PNG_PREFIX "${CMAKE_BINARY_DIR}/png-deps")
  set(png_flags "")
  if(MURLAVO_SANITIZE OR MURLAVO_FUZZ)
    set(png_flags "-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer")
  endif()
  if(MURLAVO_FUZZ)
    set(png_flags "${png_flags} -fsanitize=fuzzer-no-link")
  endif()
  # Instrumented: -O1 with line tables, so the sanitizers' reports keep their lines and the
  # decoder compiles in about half the time of -O2 -g. Otherwise (the benchmarks) -O2.
  set(png_optimise "-O2 -g -DNDEBUG")
  if(MURLAVO_SANITIZE OR MURLAVO_FUZZ)
    set(png_optimise "-O1 -g1 -DNDEBUG")
  endif()
  list(APPEND png_args -DCMAKE_C_COMPILER=${CMAKE_C_COMPILER} -DCMAKE_BUILD_TYPE=Release
    "-DCMAKE_C_FLAGS_RELEASE=${png_optimise}" "-DCMAKE_C_FLAGS=${png_flags}")
  set(png_always ON)
endif()
set(PNG_LIBRARIES "${PNG_PREFIX}/lib/libspng.a" "${PNG_PREFIX}/lib/libz.a")
if(png_always OR NOT EXISTS "${PNG_PREFIX}/lib/libspng.a" OR NOT EXISTS "${PNG_PREFIX}/lib/libz.a")
  include(ExternalProject)
  ExternalProject_Add(png_deps
    SOURCE_DIR "${CMAKE_SOURCE_DIR}/cmake/png-deps"
    BINARY_DIR "${CMAKE_BINARY_DIR}/png-deps-build"
    INSTALL_DIR "${PNG_PREFIX}"
    CMAKE_ARGS ${png_args} -DCMAKE_INSTALL_PREFIX=<INSTALL_DIR> -DCMAKE_POSITION_INDEPENDENT_CODE=OFF
    BUILD_BYPRODUCTS ${PNG_LIBRARIES})
  add_dependencies(png_lib png_deps)
endif()
file(MAKE_DIRECTORY "${PNG_PREFIX}/include")
target_include_directories(png_lib INTERFACE "${PNG_PREFIX}/include")
target_compile_definitions(png_lib INTERFACE SPNG_STATIC)
target_link_libraries(png_lib INTERFACE ${PNG_LIBRARIES})
if(NOT WIN32)
  target_link_libraries(png_lib INTERFACE m)
endif()
