#include "SystemProbes.h"

#include <windows.h>

namespace WinsockTest {

bool HostInheritable(intptr_t s) {
  DWORD flags = 0;
  return GetHandleInformation(reinterpret_cast<HANDLE>(s), &flags) && (flags & HANDLE_FLAG_INHERIT) != 0;
}

bool SystemMessagePosted(int ms) {
  return MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(ms), QS_POSTMESSAGE, MWMO_INPUTAVAILABLE) ==
         WAIT_OBJECT_0;
}

}  // namespace WinsockTest
