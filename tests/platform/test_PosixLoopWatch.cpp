// The loop's watches of POSIX descriptors: readiness reported through the wait, registrations
// dropped from inside callbacks, nested waits, and input the display delivers during a hold.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "AllocationCount.h"
#include "LoopTestSupport.h"
#include "LoopWatch.h"
#include "Messages.h"

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
