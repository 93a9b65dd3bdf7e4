// The dialog's shared scratch: the three text buffers every conversion, the scan and
// the target intake pass through. Each use fills what it needs afresh; nothing is kept
// from one handler to the next. Used on the dialog's thread only.
#pragma once

#include <cstddef>

constexpr size_t kStaticBufferSize = 1024;
// Field reads take at most this many characters including the terminator (MAX_PATH),
// and so do the paths the shell hands over.
constexpr int kFieldReadCapacity = 260;

// Aligned for their use as UTF-16 text.
alignas(wchar_t) extern char g_szText[kStaticBufferSize];
alignas(wchar_t) extern char g_szWork[kStaticBufferSize];
extern char g_szTarget[kStaticBufferSize];
