// The Windows backend's own: the loopback guard without a sandbox, notifications that the system
// had posted before a socket was closed, and sockets kept from child processes.
#include "WinsockTestSupport.h"

#include "SystemProbes.h"
#include "WinsockGuardChecks.h"

namespace WinsockTest {
namespace {

using Win32Winsock = TStarted;

// Catches a guard that lets connect, sendto or a name lookup reach the system for an address
// outside 127.0.0.0/8. There is no sandbox here: a refused socket left unbound shows that the
// system never saw the call (and the tests run where no such address is reachable anyway).
TEST_F(Win32Winsock, GuardRefusesBeforeTheSystemSeesTheCall) {
  EXPECT_EQ(ConnectOutsideLoopbackIsRefused(), "");
  EXPECT_EQ(SendToOutsideLoopbackIsRefused(), "");
  EXPECT_EQ(NamesAreAnsweredWithoutTheNetwork(), "");
}

// Catches a close that drops what the system had already posted to the backend's window, or
// hands it on under another socket or message.
TEST_F(Win32Winsock, NotificationPostedBeforeCloseStillArrives) {
  TSock s(SOCK_STREAM);
  THostFd peer = ConnectToPeer(s);
  ASSERT_TRUE(peer.Valid()) << GetLastError();
  TNoteWindow win;
  ASSERT_EQ(AsyncSelect(s, win.Wnd(), WM_SOCKET, FD_READ), 0) << GetLastError();
  ASSERT_EQ(HostSend(peer.Handle(), "x", 1), 1);
  ASSERT_TRUE(SystemMessagePosted(5000)) << "the system posted no notification";
  const TSocket closed = s.S;
  ASSERT_EQ(CloseSocket(closed), 0);
  s.S = INVALID_SOCKET;
  win.Pump(300);
  ASSERT_EQ(win.Notes.size(), 1u);
  EXPECT_EQ(win.Notes[0].Event, FD_READ);
  EXPECT_EQ(win.Notes[0].Sock, static_cast<WPARAM>(closed));
}

// Catches sockets a child process would inherit (the restart program started through the shell
// must not hold the modem's connection open).
TEST_F(Win32Winsock, SocketsAreNotInherited) {
  TSock t(SOCK_STREAM);
  TSock u(SOCK_DGRAM);
  EXPECT_FALSE(HostInheritable(t.S));
  EXPECT_FALSE(HostInheritable(u.S));
}

}  // namespace
}  // namespace WinsockTest
