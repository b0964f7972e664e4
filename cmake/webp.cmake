# WebP: libwebp 1.2.4's decoder and demuxer from Debian's source package (scripts/setup.sh
# unpacks it into the dependency cache), linked statically into every flavour, built by the
# small project in cmake/webp-deps.
#  - Windows flavours: built once per target into the dependency cache, like libjpeg-turbo.
#  - native and fuzz builds: built into the build folder with the same sanitizers (and, for
#    the fuzz build, the same coverage) as our own code, so the decoder's memory is checked too.
# MURLAVO_CACHE comes from cmake/jpeg.cmake.
add_library(webp_lib INTERFACE)
set(WEBP_SOURCE "${MURLAVO_CACHE}/libwebp-src")
if(NOT EXISTS "${WEBP_SOURCE}/src/dec/vp8_dec.c")
  message(FATAL_ERROR "${WEBP_SOURCE}/src/dec/vp8_dec.c missing: run scripts/setup.sh")
endif()

set(webp_args -DWEBP_SOURCE=${WEBP_SOURCE})
if(WIN32 AND CMAKE_CROSSCOMPILING)
  # Built once per recipe: the folder's name carries a digest of cmake/webp-deps, so a change
  # to the build or to the allocation cap makes a new one.
  file(GLOB webp_recipe_files "${CMAKE_SOURCE_DIR}/cmake/webp-deps/*")
  list(SORT webp_recipe_files)
  set(webp_recipe "")
  foreach(recipe_file ${webp_recipe_files})
    file(MD5 "${recipe_file}" recipe_digest)
    string(APPEND webp_recipe "${recipe_digest}")
  endforeach()
  string(MD5 webp_recipe "${webp_recipe}")
  string(SUBSTRING "${webp_recipe}" 0 8 webp_recipe)
  set(WEBP_PREFIX "${MURLAVO_CACHE}/webp-1.2.4-${webp_recipe}-${MINGW_TRIPLE}")
  list(APPEND webp_args -DCMAKE_TOOLCHAIN_FILE=${CMAKE_TOOLCHAIN_FILE} -DCMAKE_BUILD_TYPE=Release)
  set(webp_always OFF)
else()
  set(WEBP_PREFIX "${CMAKE_BINARY_DIR}/webp-deps")
  set(webp_flags "")
  if(MURLAVO_SANITIZE OR MURLAVO_FUZZ)
    set(webp_flags "-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer")
  endif()
  if(MURLAVO_FUZZ)
    set(webp_flags "${webp_flags} -fsanitize=fuzzer-no-link")
  endif()
  # Instrumented: -O1 with line tables, so the sanitizers' reports keep their lines and the
  # decoder compiles in about half the time of -O2 -g. Otherwise (the benchmarks) -O2.
  set(webp_optimise "-O2 -g -DNDEBUG")
  if(MURLAVO_SANITIZE OR MURLAVO_FUZZ)
    set(webp_optimise "-O1 -g1 -DNDEBUG")
  endif()
  list(APPEND webp_args -DCMAKE_C_COMPILER=${CMAKE_C_COMPILER} -DCMAKE_BUILD_TYPE=Release
    "-DCMAKE_C_FLAGS_RELEASE=${webp_optimise}" "-DCMAKE_C_FLAGS=${webp_flags}")
  set(webp_always ON)
endif()
set(WEBP_LIBRARIES "${WEBP_PREFIX}/lib/libwebpdecoder.a")
if(webp_always OR NOT EXISTS "${WEBP_PREFIX}/lib/libwebpdecoder.a")
  include(ExternalProject)
  ExternalProject_Add(webp_deps
    SOURCE_DIR "${CMAKE_SOURCE_DIR}/cmake/webp-deps"
    BINARY_DIR "${CMAKE_BINARY_DIR}/webp-deps-build"
    INSTALL_DIR "${WEBP_PREFIX}"
    CMAKE_ARGS ${webp_args} -DCMAKE_INSTALL_PREFIX=<INSTALL_DIR> -DCMAKE_POSITION_INDEPENDENT_CODE=OFF
    BUILD_BYPRODUCTS ${WEBP_LIBRARIES}
    # Natively, a change to the allocation cap (cmake/webp-deps) is built at once.
    BUILD_ALWAYS ${webp_always})
  add_dependencies(webp_lib webp_deps)
endif()
file(MAKE_DIRECTORY "${WEBP_PREFIX}/include")
target_include_directories(webp_lib INTERFACE "${WEBP_PREFIX}/include")
target_link_libraries(webp_lib INTERFACE ${WEBP_LIBRARIES})
if(NOT WIN32)
  target_link_libraries(webp_lib INTERFACE m)
endif()
# The pictures of libwebp's source package the tests read (examples/test.webp and its reference).
set(WEBP_TEST_SOURCE "${WEBP_SOURCE}")
