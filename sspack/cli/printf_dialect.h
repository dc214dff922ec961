// The printf dialect the tool's formatting is checked against: MinGW's libstdc++ selects the C99
// formatting of its own runtime (%zu, %llu), which the compiler names differently from glibc's.
#pragma once
#ifdef __MINGW_PRINTF_FORMAT
#define TOOL_PRINTF __MINGW_PRINTF_FORMAT
#else
#define TOOL_PRINTF printf
#endif
