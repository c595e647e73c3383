// Internal to the Windows backend's socket units (Win32Winsock.cpp, Win32WinsockAsync.cpp): how
// closing sockets ends their notifications. Not for the subsystems.
//
// Sockets are the system's own handles: the interface's numbers are the system's, and the
// system keeps every socket's state, so the backend keeps nothing per socket but the route of
// its AsyncSelect notifications. Both calls below take the routes' lock; any thread.
#pragma once
#include "Winsock.h"

namespace Winsock::Detail {

// After `s` was closed: the system posts nothing more for it, so its route can go once what
// was posted before has been handed on.
void SocketClosed(TSocket s);
// After the last Cleanup, which closed every socket: the same for all of them.
void AllSocketsClosed();

}  // namespace Winsock::Detail
