#include "app/static_buffers.h"

alignas(wchar_t) char g_szText[kStaticBufferSize];
alignas(wchar_t) char g_szWork[kStaticBufferSize];
char g_szTarget[kStaticBufferSize];
