#pragma once

// <windows.h> as the program includes it: without the parts it never uses, and without the min
// and max macros that would hide std::min and std::max. For code built for Windows only.

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif
