// The one place the Windows headers come in: the lean set, without the min/max macros
// that would break std::min and std::max, and Winsock 2 ahead of anything that could drag
// in the old Winsock 1 declarations.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif

// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
// clang-format on

// The core's interfaces use plain names that <windows.h> turns into macros for its A/W
// function pairs; this layer always calls the W functions by their full names instead.
#undef CopyFile
#undef DeleteFile
#undef ReplaceFile
#undef GetMessage
