/* Forced into libwebp's src/utils/utils.c, the one file where the library calls malloc,
   calloc and free: they become the budget's (WebpBudget.h). <stdlib.h> comes first, so its
   declarations keep their names, and the file's own #include <stdlib.h> then adds nothing. */
#include <stdlib.h>
#include "WebpBudget.h"
#define malloc WebpBudgetMalloc
#define calloc WebpBudgetCalloc
#define free WebpBudgetFree
