// The D2XX calls the link uses, under their published names and meanings.
#pragma once

#include <cstdint>

typedef void* FT_HANDLE;
typedef uint32_t FT_STATUS;
enum { FT_OK = 0 };
