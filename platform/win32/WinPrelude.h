// Internal to the Windows backend: the one way its units see the Windows headers. The platform
// keeps the system's own names (HWND, PostMessage, GetTickCount, DrawText, SW_SHOWNORMAL, ...),
// several of which the Windows headers also declare, some as macros. So the platform's own
// declarations come first: a unit of the backend includes the platform headers it needs and
// then this one, last. Every Windows header is read here, with the clashing names renamed, and
// the macros over the platform's names are removed afterwards; the backend calls the Windows
// functions by their explicit wide names (PostMessageW, ...).
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
// In this order: the sockets header before the one that would bring the old sockets in, and
// the extensions (sockets, shell) after the base.
#include <winsock2.h>

#include <windows.h>

#include <mswsock.h>
#include <shellapi.h>
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
#undef ShellExecute
#undef TextOut
#undef min
#undef max
