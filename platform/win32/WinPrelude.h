// Internal to the Windows backend: the one way its units see the Windows headers. The platform
// keeps the system's own names (HWND, PostMessage, GetTickCount, DrawText, ...), several of
// which the Windows headers also declare, some as macros. So the platform's own declarations
// come first; the Windows headers are read with their clashing names renamed, and their
// macros over the platform's names are removed afterwards. A unit of the backend includes this
// first and calls the Windows functions by their explicit wide names (PostMessageW, ...).
#pragma once
#include "Messages.h"

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX  // the compiler's own headers may have asked already
#define NOMINMAX
#endif
#define HWND WinHWND                  // the platform's HWND is a plain handle number
#define GetTickCount WinGetTickCount  // same parameters as the platform's, other linkage
#define PostQuitMessage WinPostQuitMessage
#define Sleep WinSleep  // would be ambiguous with the platform's for int arguments; use SleepEx
#define WaitMessage WinWaitMessage
#include <winsock2.h>
#include <windows.h>
#undef HWND
#undef GetTickCount
#undef PostQuitMessage
#undef Sleep
#undef WaitMessage

#undef CreateFont
#undef CreateWindow
#undef DefWindowProc
#undef DispatchMessage
#undef DrawText
#undef GetMessage
#undef GetObject
#undef LoadIcon
#undef MessageBox
#undef PeekMessage
#undef PostMessage
#undef SendMessage
#undef SetPort
#undef TextOut
#undef min
#undef max
