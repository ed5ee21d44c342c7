#pragma once
// The few platform names that the text, number, file-name and expression
// routines use, for the native fuzz build under fuzz/ only: never part of a
// Windows build, which takes the real <windows.h>.
//
// - wsprintfA and wvsprintfA speak the platform formatter's dialect: flags
//   "-", "0" and "#", a width, a precision, the size prefixes "l" and "h"
//   (an int either way, as on Windows), the conversions %d %i %u %x %X %c %s
//   and %%; any other conversion is written as its letter. They write at most
//   1,024 bytes, terminator included, and return the count written without it.
// - GlobalAlloc and GlobalFree are the C library's allocator (GMEM_ZEROINIT
//   zero-fills), so that the address sanitizer watches every block.
#include <stdarg.h>
#include <stddef.h>

#define WINAPI
typedef unsigned int UINT;
typedef size_t SIZE_T;
typedef void* HGLOBAL;

#define GMEM_FIXED 0x0000
#define GMEM_ZEROINIT 0x0040
#define GPTR (GMEM_FIXED | GMEM_ZEROINIT)

HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes);
HGLOBAL GlobalFree(HGLOBAL block);

int wvsprintfA(char* out, const char* format, va_list args);
int wsprintfA(char* out, const char* format, ...);
