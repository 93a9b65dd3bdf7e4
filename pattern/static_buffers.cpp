#include "pattern/static_buffers.h"

char g_szText[kStaticBufferSize];
char g_szWork[kStaticBufferSize];
char g_szTarget[kStaticBufferSize];
