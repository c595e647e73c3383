// The engine's hold on the socket library, shared by every instance in the process: a counted
// start-up (the first instance starts the library, the last one cleans it up), the status text
// and the description and limits that the library reported, and the error texts of the socket
// error numbers.
//
// Threads: instances live on the user-interface thread, and so does this state; it is reached
// only through TnWinsock(). Ownership: process-wide, for the life of the process.
#pragma once
#include <cstdint>
#include <string>

struct TTnWinsockState {
  // The library the engine is bound to, by its Windows name: the engine asks for the 1.1
  // interface that this library offers. The platform layer is linked in, so nothing is loaded
  // from a file; the name stays what a caller configures and reads.
  std::string Path = "WSOCK32.DLL";
  std::string Status = "Down";
  std::string Description;
  int MaxSockets = 0;
  int MaxDatagramSize = 0;
  bool Loaded = false;
  int Holders = 0;
};

TTnWinsockState& TnWinsock();
// Takes one hold; the first one starts the library up and records the outcome in the status
// text (failure is only recorded: socket calls then fail with 10093).
void TnWinsockAcquire();
void TnWinsockRelease();

// "[code] text" for a socket error number, "(no description available)" for an unknown one.
std::string TnErrorText(int code);
