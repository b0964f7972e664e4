/* A cap on what libwebp allocates, per thread (C, built into the libwebp library).
   A reader opens a budget before it hands a file to the library and closes it after; while it
   is open, an allocation of the library on that thread that would take the total beyond the
   budget fails (libwebp then reports that memory ran out), and each block freed gives its
   bytes back. Blocks allocated outside a budget are not counted. So the memory a file can
   make the decoder take is capped whatever the file holds (Huffman tables, frames, canvases),
   not only what its headers declare. */
#ifndef MURLAVO_WEBP_BUDGET_H
#define MURLAVO_WEBP_BUDGET_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Opens a budget of this many bytes on the calling thread (replacing one left open). */
void WebpBudgetBegin(size_t bytes);
/* Closes it; nonzero when an allocation was refused for lack of budget while it was open. */
int WebpBudgetEnd(void);

/* The library's malloc, calloc and free (src/utils/utils.c is compiled with
   WebpBudgetHooks.h forced in, which names these instead). */
void* WebpBudgetMalloc(size_t size);
void* WebpBudgetCalloc(size_t count, size_t size);
void WebpBudgetFree(void* block);

#ifdef __cplusplus
}
#endif

#endif
