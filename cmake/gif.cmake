# GIF: the decoding part of giflib 5.2.1 from Debian's source package (scripts/setup.sh unpacks
# it into the dependency cache). Four small C files, compiled with each flavour's own flags
# (sanitizers and fuzzing coverage included) into a static library; warnings are giflib's own
# business. MURLAVO_CACHE comes from cmake/jpeg.cmake.
set(GIF_SOURCE "${MURLAVO_CACHE}/giflib-src")
if(NOT EXISTS "${GIF_SOURCE}/dgif_lib.c")
  message(FATAL_ERROR "${GIF_SOURCE}/dgif_lib.c missing: run scripts/setup.sh")
endif()
add_library(gif_lib STATIC
  "${GIF_SOURCE}/dgif_lib.c" "${GIF_SOURCE}/gif_err.c" "${GIF_SOURCE}/gifalloc.c"
  "${GIF_SOURCE}/openbsd-reallocarray.c")
target_include_directories(gif_lib SYSTEM PUBLIC "${GIF_SOURCE}")
target_compile_options(gif_lib PRIVATE -w)
