// Opening a program by name, as Finish starts the modem's restart program: found in the current
// directory, started without being waited for, and a missing one reported. Written against the
// platform's calls and a real helper program, so the same file checks every host's shell.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "Files.h"
#include "Shell.h"

namespace fs = std::filesystem;

// Catches a program that is not found in the current directory, not started, or waited for;
// and a missing one not reported as "file not found".
TEST(Shell, OpensProgramByNameFromCurrentDirectory) {
  const fs::path dir = fs::temp_directory_path() / "shell-open";
  fs::remove_all(dir);
  fs::create_directories(dir);
  fs::copy_file(RESTART_HELPER, dir / "restart.exe");
  const fs::path old = fs::current_path();
  fs::current_path(dir);
  const intptr_t started = ShellExecute(0, "open", "restart.exe", "now", "", SW_SHOWNORMAL);
  const intptr_t missing = ShellExecute(0, "open", "no-such-program.exe", "", "", SW_SHOWNORMAL);
  fs::current_path(old);
  EXPECT_GT(started, 32);
  EXPECT_EQ(missing, 2);

  const fs::path marker = dir / "restart-ran";
  for (int i = 0; i < 500 && ReadFile(marker.string()).empty(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(ReadFile(marker.string()), "now\n") << "the program ran with its parameters";
  std::error_code ignored;
  fs::remove_all(dir, ignored);
}
