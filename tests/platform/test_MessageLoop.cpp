// The thread's message queue: order, hidden-window dispatch, quit, paint requests, waits,
// timers and watches.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <time.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

#include "AllocationCount.h"
#include "LoopWatch.h"
#include "Messages.h"
#include "Types.h"

namespace {

struct TRecorder {
  std::vector<TMsg> Seen;
  HWND Handle = AllocateHWnd([this](HWND h, uint32_t m, WPARAM w, LPARAM l) {
    Seen.push_back(TMsg{h, m, w, l});
    return DefWindowProc(h, m, w, l);
  });
  ~TRecorder() { DeallocateHWnd(Handle); }
};

void DrainQueue() {
  TMsg m;
  while (PeekMessage(m)) DispatchMessage(m);
}

double CpuMs() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) * 1000.0 + static_cast<double>(ts.tv_nsec) / 1e6;
}

}  // namespace

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
  double cpu0 = CpuMs();
  uint32_t t0 = GetTickCount();
  bool got = WaitMessage(300);
  uint32_t elapsed = GetTickCount() - t0;
  double cpu = CpuMs() - cpu0;
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
    usleep(50 * 1000);
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

// Catches a watch that is not called when its descriptor becomes ready, or called after it
// has been dropped.
TEST(MessageLoop, WatchReportsReadinessAndStopsWhenDropped) {
  DrainQueue();
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  int calls = 0;
  TLoopHandle w = WatchHandle(fds[0], weRead, [&](uint16_t ready) {
    EXPECT_TRUE(ready & weRead);
    char c;
    ASSERT_EQ(read(fds[0], &c, 1), 1);
    ++calls;
  });
  ASSERT_EQ(write(fds[1], "x", 1), 1);
  uint32_t t0 = GetTickCount();
  while (calls == 0 && GetTickCount() - t0 < 2000) WaitMessage(50);
  EXPECT_EQ(calls, 1);
  w.reset();
  ASSERT_EQ(write(fds[1], "y", 1), 1);
  WaitMessage(50);
  EXPECT_EQ(calls, 1);
  close(fds[0]);
  close(fds[1]);
}

// Catches a loop that allocates per wait or per message (copied watch lists, queue nodes,
// copied closures), which a stream of datagrams would pay for each one. Also catches a nested
// wait, run from a watch callback, that overwrites the readiness the outer wait still reads.
TEST(MessageLoop, SteadyTrafficAllocatesNothingAndNestedWaitsKeepTheirOwnReadiness) {
  DrainQueue();
  int a[2], b[2];
  ASSERT_EQ(pipe(a), 0);
  ASSERT_EQ(pipe2(b, O_NONBLOCK), 0);
  int delivered = 0, readsA = 0, readsB = 0, idles = 0;
  const std::string big(200, 'z');  // closures too large to be stored inside std::function
  HWND h = AllocateHWnd([&, big](HWND, uint32_t, WPARAM, LPARAM) { return ++delivered, 0; });
  bool nest = false;
  TLoopHandle wa = WatchHandle(a[0], weRead, [&, big](uint16_t) {
    char c;
    ASSERT_EQ(read(a[0], &c, 1), 1);
    ++readsA;
    if (nest) {
      // b becomes ready only now: the nested wait serves it, and the outer wait, which saw
      // it idle, must not call it again.
      EXPECT_EQ(write(b[1], "y", 1), 1);
      WaitMessage(0);
    }
    PostMessage(h, WM_USER, 0, 0);
  });
  TLoopHandle wb = WatchHandle(b[0], weRead, [&, big](uint16_t) {
    char c;
    ASSERT_EQ(read(b[0], &c, 1), 1);  // a second call, fed the nested wait's readiness, fails
    ++readsB;
  });
  TLoopHandle idle = AddIdleHook([&, big] { ++idles; });
  auto cycle = [&] {
    ASSERT_EQ(write(a[1], "x", 1), 1);
    TMsg m;
    while (!PeekMessage(m)) WaitMessage(-1);
    DispatchMessage(m);
  };
  for (int i = 0; i < 200; ++i) cycle();  // lists, ring and poll set reach their sizes
  const long before = ThreadAllocations();
  for (int i = 0; i < 2000; ++i) cycle();
  EXPECT_EQ(ThreadAllocations() - before, 0);
  EXPECT_EQ(delivered, 2200);
  EXPECT_EQ(readsA, 2200);
  EXPECT_GE(idles, 2200);

  nest = true;
  cycle();
  EXPECT_EQ(readsB, 1);
  for (int fd : {a[0], a[1], b[0], b[1]}) close(fd);
  DeallocateHWnd(h);
}

// Catches a tick count that does not move with real time.
TEST(MessageLoop, TickCountFollowsTime) {
  uint32_t t0 = GetTickCount();
  Sleep(30);
  uint32_t d = GetTickCount() - t0;
  EXPECT_GE(d, 29u);
  EXPECT_LT(d, 1000u);
}

// Catches input given during a long step acting afterwards: input posted, pumped, or still
// queued while held must be dropped, input the display delivers meanwhile (a pipe standing in
// for its connection) taken in and dropped when the hold ends, and everything else delivered.
TEST(MessageLoop, InputHeldBackDuringALongStepIsDropped) {
  DrainQueue();
  TRecorder r;
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  // Like the display: reads what arrived and posts it as input.
  TLoopHandle display = WatchHandle(fds[0], weRead, [&](uint16_t) {
    char c;
    ASSERT_EQ(read(fds[0], &c, 1), 1);
    PostMessage(r.Handle, WM_KEYDOWN, static_cast<WPARAM>(c), 0);
  });
  PostMessage(r.Handle, WM_LBUTTONUP, 0, 0);  // queued before the step: a double click's second half
  {
    TInputHold hold;
    {
      TInputHold nested;  // nesting does not end the hold early
    }
    PostMessage(r.Handle, WM_LBUTTONDOWN, 0, 0);
    PostMessage(r.Handle, WM_USER + 1, 0, 0);
    InvalidateWindow(r.Handle);
    DrainQueue();  // a pump inside the step, as the telnet connect runs one
    PostMessage(r.Handle, WM_CHAR, 'x', 0);
    ASSERT_EQ(write(fds[1], "k", 1), 1);  // a key the user pressed that the loop has not read
    EXPECT_TRUE(InputHeld());
  }
  EXPECT_FALSE(InputHeld());
  PostMessage(r.Handle, WM_KEYUP, 0, 0);  // after the step: delivered
  DrainQueue();
  WaitMessage(20);
  DrainQueue();
  std::vector<uint32_t> seen;
  for (const TMsg& m : r.Seen) seen.push_back(m.message);
  EXPECT_EQ(seen, (std::vector<uint32_t>{WM_USER + 1, WM_PAINT, WM_KEYUP}));
  close(fds[0]);
  close(fds[1]);
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
