// The three text buffers every conversion and the scan pass through. Each use fills
// what it needs afresh; nothing is kept from one handler to the next.
#pragma once

#include <cstddef>

constexpr size_t kStaticBufferSize = 1024;
// Field reads take at most this many characters including the terminator.
constexpr int kFieldReadCapacity = 260;

// Aligned for their use as UTF-16 text.
alignas(wchar_t) extern char g_szText[kStaticBufferSize];
alignas(wchar_t) extern char g_szWork[kStaticBufferSize];
extern char g_szTarget[kStaticBufferSize];
