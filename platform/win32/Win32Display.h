// Internal to the Windows display backend and its tests: the system's window behind a form's
// native window. It brings in the Windows headers (WinPrelude.h), so include it after the
// platform's headers.
#pragma once
#include "Display.h"
#include "WinPrelude.h"

namespace Win32 {

// The system's window of a native window of this backend; null for another backend's, or once
// the system destroyed it.
WinHWND SystemWindowOf(TNativeWindow& window);

}  // namespace Win32
