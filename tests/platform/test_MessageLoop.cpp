// The thread's message queue: order, hidden-window dispatch, quit, paint requests, waits,
// timers, tick and the input hold. Written against the platform's calls only, so the same file
// checks every host's loop; the POSIX watches are tested beside it.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "CpuTime.h"
#include "LoopTestSupport.h"
#include "LoopWatch.h"
#include "Messages.h"
#include "Types.h"

// Catches a queue that reorders messages or hands them to the wrong window.
TEST(MessageLoop, DeliversInPostOrderToTheAddressedWindow) {
  DrainQueue();
  TRecorder a, b;
  PostMessage(a.Handle, WM_USER + 1, 1, 10);
  PostMessage(b.Handle, WM_USER + 2, 2, 20);
  PostMessage(a.Handle, WM_USER + 3, 3, 30);
  DrainQueue();
  ASSERT_EQ(a.Seen.size(), 2u);
  ASSERT_EQ(b.Seen.size(), 1u);
  EXPECT_EQ(a.Seen[0].message, WM_USER + 1u);
  EXPECT_EQ(a.Seen[1].message, WM_USER + 3u);
  EXPECT_EQ(a.Seen[1].lParam, 30);
  EXPECT_EQ(b.Seen[0].wParam, 2u);
}

// Catches a dispatch to a window that was destroyed after the message was posted.
TEST(MessageLoop, DropsMessagesForDestroyedWindows) {
  DrainQueue();
  int calls = 0;
  HWND h = AllocateHWnd([&](HWND, uint32_t, WPARAM, LPARAM) { return ++calls, 0; });
  PostMessage(h, WM_USER, 0, 0);
  DeallocateHWnd(h);
  EXPECT_FALSE(IsWindow(h));
  DrainQueue();
  EXPECT_EQ(calls, 0);
}

// Catches per-window data that is lost or shared between windows.
TEST(MessageLoop, KeepsPerWindowData) {
  int x = 1, y = 2;
  HWND a = AllocateHWnd(nullptr), b = AllocateHWnd(nullptr);
  SetWindowData(a, &x);
  SetWindowData(b, &y);
  EXPECT_EQ(GetWindowData(a), &x);
  EXPECT_EQ(GetWindowData(b), &y);
  DeallocateHWnd(a);
  EXPECT_EQ(GetWindowData(a), nullptr);
  DeallocateHWnd(b);
}

// Catches a quit message that a nested loop swallows: re-posting it must keep it for the
// outer loop, with its exit code.
TEST(MessageLoop, QuitEndsGetMessageAndCanBeRepostedForTheOuterLoop) {
  DrainQueue();
  TRecorder r;
  PostMessage(r.Handle, WM_USER, 0, 0);
  PostQuitMessage(7);
  TMsg m;
  ASSERT_TRUE(GetMessage(m));
  DispatchMessage(m);
  ASSERT_FALSE(GetMessage(m)) << "the quit message ends GetMessage";
  EXPECT_EQ(m.wParam, 7u);
  // A nested wait that takes the quit posts it again ...
  PostQuitMessage(static_cast<int>(m.wParam));
  // ... so the outer loop still sees it.
  ASSERT_FALSE(GetMessage(m));
  EXPECT_EQ(m.wParam, 7u);
}

// Catches paint requests that starve posted messages, repeat after validation, or are lost.
TEST(MessageLoop, PaintComesAfterPostedMessagesAndOnlyUntilValidated) {
  DrainQueue();
  TRecorder r;
  InvalidateWindow(r.Handle);
  InvalidateWindow(r.Handle);  // one request, however often it is asked
  PostMessage(r.Handle, WM_USER, 0, 0);
  TMsg m;
  ASSERT_TRUE(PeekMessage(m));
  EXPECT_EQ(m.message, static_cast<uint32_t>(WM_USER));
  ASSERT_TRUE(PeekMessage(m));
  EXPECT_EQ(m.message, static_cast<uint32_t>(WM_PAINT));
  DispatchMessage(m);  // the default procedure validates
  EXPECT_FALSE(PeekMessage(m));
}

// Catches a wait that spins the CPU or returns before its time when nothing happens.
TEST(MessageLoop, WaitTimesOutWithoutSpinning) {
  DrainQueue();
  double cpu0 = ProcessCpuMs();
  uint32_t t0 = GetTickCount();
  bool got = WaitMessage(300);
  uint32_t elapsed = GetTickCount() - t0;
  double cpu = ProcessCpuMs() - cpu0;
  EXPECT_FALSE(got);
  EXPECT_GE(elapsed, 295u);
  EXPECT_LT(elapsed, 2000u);
  EXPECT_LT(cpu, 20.0) << "an idle wait must not use the CPU";
}

// Catches a waiter that does not wake when another thread posts.
TEST(MessageLoop, WaitReturnsWhenAnotherThreadPosts) {
  DrainQueue();
  TRecorder r;
  uint32_t t0 = GetTickCount();
  std::thread poster([h = r.Handle] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    PostMessage(h, WM_USER, 5, 0);
  });
  bool got = WaitMessage(5000);
  poster.join();
  EXPECT_TRUE(got);
  EXPECT_LT(GetTickCount() - t0, 2000u);
  DrainQueue();
  ASSERT_EQ(r.Seen.size(), 1u);
}

// Catches a Sleep that pumps messages (the probe's pause must not run handlers).
TEST(MessageLoop, SleepDoesNotDispatch) {
  DrainQueue();
  TRecorder r;
  PostMessage(r.Handle, WM_USER, 0, 0);
  Sleep(20);
  EXPECT_TRUE(r.Seen.empty());
  DrainQueue();
  EXPECT_EQ(r.Seen.size(), 1u);
}

// Catches timers that fire out of order, twice, or after their registration is gone.
TEST(MessageLoop, TimersFireOnceInOrderAndCanBeCancelled) {
  DrainQueue();
  std::vector<int> order;
  TLoopHandle cancelled;
  TLoopHandle t2 = AddTimer(20, [&] { order.push_back(2); });
  TLoopHandle t1 = AddTimer(5, [&] {
    order.push_back(1);
    cancelled.reset();  // a callback may remove another registration
  });
  cancelled = AddTimer(10, [&] { order.push_back(99); });
  TLoopHandle t3 = AddTimer(20, [&] { order.push_back(3); });  // same time: registration order
  uint32_t t0 = GetTickCount();
  while (order.size() < 3 && GetTickCount() - t0 < 2000) WaitMessage(50);
  WaitMessage(30);
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

// Catches a tick count that does not move with real time.
TEST(MessageLoop, TickCountFollowsTime) {
  uint32_t t0 = GetTickCount();
  Sleep(30);
  uint32_t d = GetTickCount() - t0;
  EXPECT_GE(d, 29u);
  EXPECT_LT(d, 1000u);
}

// Catches a modal box inside a held step that takes no keys, or one answered by a click given
// before it appeared; and a release that does not restore the hold.
TEST(MessageLoop, ReleaseLetsAModalLoopTakeInputAndRestoresTheHold) {
  DrainQueue();
  TRecorder r;
  TInputHold hold;
  PostMessage(r.Handle, WM_KEYDOWN, VK_RETURN, 0);
  {
    TInputRelease box;
    EXPECT_FALSE(InputHeld());
    DrainQueue();
    EXPECT_TRUE(r.Seen.empty()) << "input from before the box reached it";
    PostMessage(r.Handle, WM_KEYDOWN, VK_ESCAPE, 0);
    DrainQueue();
    ASSERT_EQ(r.Seen.size(), 1u);
    EXPECT_EQ(r.Seen[0].wParam, static_cast<WPARAM>(VK_ESCAPE));
  }
  EXPECT_TRUE(InputHeld());
  PostMessage(r.Handle, WM_KEYDOWN, VK_RETURN, 0);
  DrainQueue();
  EXPECT_EQ(r.Seen.size(), 1u);
}
