/* The per-thread allocation cap of libwebp (WebpBudget.h). */
#include "WebpBudget.h"

#include <stdint.h>
#include <stdlib.h>

/* Each block starts with a header that records its size and the budget it was counted in, so
   that freeing it gives back exactly what it took, and only to that budget. 16 bytes keep the
   alignment malloc gives. */
typedef struct {
  size_t size;
  uint32_t budget; /* 0: not counted */
} BlockHeader;
enum { kHeaderBytes = 16 };
_Static_assert(sizeof(BlockHeader) <= kHeaderBytes, "the header fits in front of the block");

static _Thread_local size_t t_left;
static _Thread_local uint32_t t_budget; /* the open budget's number, 0 when none is open */
static _Thread_local uint32_t t_lastBudget;
static _Thread_local int t_refused;

void WebpBudgetBegin(size_t bytes) {
  if (++t_lastBudget == 0) ++t_lastBudget;
  t_budget = t_lastBudget;
  t_left = bytes;
  t_refused = 0;
}

int WebpBudgetEnd(void) {
  const int refused = t_refused;
  t_budget = 0;
  t_left = 0;
  t_refused = 0;
  return refused;
}

/* Takes size bytes from the open budget; false (and the refusal noted) when they are not left. */
static int Take(size_t size) {
  if (t_budget == 0) return 1;
  if (size > t_left) {
    t_refused = 1;
    return 0;
  }
  t_left -= size;
  return 1;
}

static void* Finish(unsigned char* block, size_t size) {
  BlockHeader* const header = (BlockHeader*)block;
  if (block == NULL) {
    if (t_budget != 0) t_left += size;
    return NULL;
  }
  header->size = size;
  header->budget = t_budget;
  return block + kHeaderBytes;
}

void* WebpBudgetMalloc(size_t size) {
  if (size > SIZE_MAX - kHeaderBytes || !Take(size)) return NULL;
  return Finish((unsigned char*)malloc(size + kHeaderBytes), size);
}

void* WebpBudgetCalloc(size_t count, size_t size) {
  size_t total;
  if (size != 0 && count > SIZE_MAX / size) return NULL;
  total = count * size;
  if (total > SIZE_MAX - kHeaderBytes || !Take(total)) return NULL;
  return Finish((unsigned char*)calloc(1, total + kHeaderBytes), total);
}

void WebpBudgetFree(void* block) {
  unsigned char* start;
  const BlockHeader* header;
  if (block == NULL) return;
  start = (unsigned char*)block - kHeaderBytes;
  header = (const BlockHeader*)start;
  if (header->budget != 0 && header->budget == t_budget) t_left += header->size;
  free(start);
}
