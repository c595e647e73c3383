// Shell execute: "open" a program by name, looked up in the current directory and then on
// PATH, started detached with the given parameters. Returns a value above 32 on success, else
// the platform's error value (2 = file not found, 5 = access denied, 31 = no association).
// Threads: any.
#pragma once
#include <cstdint>
#include <string>

#include "Messages.h"

// Show commands; a started program here gets its own window however it likes.
constexpr int SW_SHOWNORMAL = 1, SW_SHOW = 5;
intptr_t ShellExecute(HWND owner, const std::string& verb, const std::string& file, const std::string& parameters,
                      const std::string& directory, int showCmd);
