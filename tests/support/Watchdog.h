// Test support: a watchdog that ends the test executable when a blocking step outlives its
// limit, so that a test fails instead of hanging.
#pragma once
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

// Ends the test executable with a message when a blocking step outlives `seconds`, so that a
// wait without a time limit fails instead of hanging.
class TWatchdog {
 public:
  TWatchdog(std::string what, int seconds)
      : FThread([this, what = std::move(what), seconds] {
          std::unique_lock<std::mutex> l(FLock);
          if (!FCv.wait_for(l, std::chrono::seconds(seconds), [this] { return FDone; })) {
            std::fprintf(stderr, "%s: still blocked after %d s\n", what.c_str(), seconds);
            std::abort();
          }
        }) {}
  ~TWatchdog() {
    {
      std::lock_guard<std::mutex> g(FLock);
      FDone = true;
    }
    FCv.notify_all();
    FThread.join();
  }

 private:
  std::mutex FLock;
  std::condition_variable FCv;
  bool FDone = false;
  std::thread FThread;
};

inline std::string CurrentTestName() {
  const ::testing::TestInfo* t = ::testing::UnitTest::GetInstance()->current_test_info();
  return t ? std::string(t->test_suite_name()) + "." + t->name() : "test";
}
