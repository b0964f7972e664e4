# libjpeg-turbo (libjpeg 6.2 API) from Debian's source package.
# Windows flavours cross-built here: built once per target with ExternalProject into the
# dependency cache, so a second build (or a fresh checkout on the same machine) reuses it.
# Native flavour, and builds on Windows itself: the installed library (find_package).
add_library(jpeg_lib INTERFACE)
# The dependency cache (also where the tests find the source package's test pictures).
set(MURLAVO_CACHE "$ENV{MURLAVO_CACHE}")
if(NOT MURLAVO_CACHE)
  if(DEFINED ENV{XDG_CACHE_HOME})
    set(MURLAVO_CACHE "$ENV{XDG_CACHE_HOME}/murlavo")
  else()
    set(MURLAVO_CACHE "$ENV{HOME}/.cache/murlavo")
  endif()
endif()
if(WIN32 AND CMAKE_CROSSCOMPILING)
  set(JPEG_SOURCE "${MURLAVO_CACHE}/libjpeg-turbo-src")
  set(JPEG_PREFIX "${MURLAVO_CACHE}/libjpeg-turbo-2.1.5-${MINGW_TRIPLE}")
  set(JPEG_LIBRARY "${JPEG_PREFIX}/lib/libjpeg.a")
  if(NOT EXISTS "${JPEG_SOURCE}/CMakeLists.txt")
    message(FATAL_ERROR "libjpeg-turbo source missing in ${JPEG_SOURCE}: run scripts/setup.sh")
  endif()
  if(NOT EXISTS "${JPEG_LIBRARY}")
    include(ExternalProject)
    ExternalProject_Add(libjpeg_turbo
      SOURCE_DIR "${JPEG_SOURCE}"
      BINARY_DIR "${CMAKE_BINARY_DIR}/libjpeg-turbo-build"
      INSTALL_DIR "${JPEG_PREFIX}"
      CMAKE_ARGS
        -DCMAKE_TOOLCHAIN_FILE=${CMAKE_TOOLCHAIN_FILE}
        -DCMAKE_BUILD_TYPE=Release
        -DCMAKE_INSTALL_PREFIX=<INSTALL_DIR>
        -DENABLE_SHARED=OFF -DENABLE_STATIC=ON
        -DWITH_TURBOJPEG=OFF -DWITH_JPEG8=OFF -DWITH_SIMD=ON
        -DCMAKE_ASM_NASM_COMPILER=nasm
        -DCMAKE_POSITION_INDEPENDENT_CODE=OFF
      BUILD_COMMAND ${CMAKE_COMMAND} --build . --target jpeg-static
      INSTALL_COMMAND ${CMAKE_COMMAND} -E make_directory <INSTALL_DIR>/lib <INSTALL_DIR>/include
        COMMAND ${CMAKE_COMMAND} -E copy jconfig.h <SOURCE_DIR>/jpeglib.h <SOURCE_DIR>/jmorecfg.h <SOURCE_DIR>/jerror.h <INSTALL_DIR>/include
        COMMAND ${CMAKE_COMMAND} -E copy libjpeg.a <INSTALL_DIR>/lib/libjpeg.a
      BUILD_BYPRODUCTS "${JPEG_LIBRARY}"
      USES_TERMINAL_BUILD ON)
    add_dependencies(jpeg_lib libjpeg_turbo)
  endif()
  file(MAKE_DIRECTORY "${JPEG_PREFIX}/include")
  target_include_directories(jpeg_lib INTERFACE "${JPEG_PREFIX}/include")
  target_link_libraries(jpeg_lib INTERFACE "${JPEG_LIBRARY}")
elseif(MURLAVO_FUZZ)
  # The fuzz build decodes with the library built from the same sources, instrumented like our
  # own code: coverage inside the decoder guides the fuzzer, and the sanitizers see its memory.
  set(JPEG_SOURCE "${MURLAVO_CACHE}/libjpeg-turbo-src")
  set(JPEG_PREFIX "${CMAKE_BINARY_DIR}/libjpeg-turbo")
  set(JPEG_LIBRARY "${JPEG_PREFIX}/lib/libjpeg.a")
  if(NOT EXISTS "${JPEG_SOURCE}/CMakeLists.txt")
    message(FATAL_ERROR "libjpeg-turbo source missing in ${JPEG_SOURCE}: run scripts/setup.sh")
  endif()
  include(ExternalProject)
  ExternalProject_Add(libjpeg_turbo_fuzz
    SOURCE_DIR "${JPEG_SOURCE}"
    BINARY_DIR "${CMAKE_BINARY_DIR}/libjpeg-turbo-build"
    INSTALL_DIR "${JPEG_PREFIX}"
    CMAKE_ARGS
      -DCMAKE_C_COMPILER=${CMAKE_C_COMPILER}
      -DCMAKE_BUILD_TYPE=RelWithDebInfo
      "-DCMAKE_C_FLAGS=-fsanitize=address,undefined,fuzzer-no-link -fno-sanitize-recover=undefined"
      -DENABLE_SHARED=OFF -DENABLE_STATIC=ON
      -DWITH_TURBOJPEG=OFF -DWITH_JPEG8=OFF -DWITH_SIMD=OFF
    BUILD_COMMAND ${CMAKE_COMMAND} --build . --target jpeg-static
    INSTALL_COMMAND ${CMAKE_COMMAND} -E make_directory <INSTALL_DIR>/lib <INSTALL_DIR>/include
      COMMAND ${CMAKE_COMMAND} -E copy jconfig.h <SOURCE_DIR>/jpeglib.h <SOURCE_DIR>/jmorecfg.h <SOURCE_DIR>/jerror.h <INSTALL_DIR>/include
      COMMAND ${CMAKE_COMMAND} -E copy libjpeg.a <INSTALL_DIR>/lib/libjpeg.a
    BUILD_BYPRODUCTS "${JPEG_LIBRARY}")
  add_dependencies(jpeg_lib libjpeg_turbo_fuzz)
  file(MAKE_DIRECTORY "${JPEG_PREFIX}/include")
  target_include_directories(jpeg_lib INTERFACE "${JPEG_PREFIX}/include")
  target_link_libraries(jpeg_lib INTERFACE "${JPEG_LIBRARY}")
else()
  find_package(JPEG REQUIRED)
  target_link_libraries(jpeg_lib INTERFACE JPEG::JPEG)
endif()
