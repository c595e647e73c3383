// Entry point of every test executable: switches the socket layer's loopback guard on, so
// that no test can send a packet outside 127.0.0.0/8, then runs the tests.
#include <gtest/gtest.h>

#include "Winsock.h"

int main(int argc, char** argv) {
  Winsock::SetLoopbackGuard(true);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
