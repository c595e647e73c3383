// The exit codes of norvane-upgrade, one per verdict and per class of failure, with the words
// that --help, the manual page and the JSON result use for them. Scripts branch on these
// numbers, so a number never changes its meaning.
//
// Threads: any (constant data). Ownership: the table is static.
#pragma once
#include <cstdint>
#include <span>

enum TCliExit : int {
  ceOk = 0,             // probe: ready to upgrade; upload: the modem has the file
  ceFailure = 1,        // an unexpected failure of the program itself
  ceUsage = 2,          // the command line is wrong
  ceUpToDate = 3,       // the modem already runs the target firmware
  ceWrongModem = 4,     // something answered that is not the expected modem
  ceCannotDetect = 5,   // no modem: connection refused, unreachable, or no greeting
  ceFileError = 6,      // the firmware file is missing or unreadable
  ceBadAddress = 7,     // the address is empty or names no host
  ceNoAnswer = 8,       // the modem stopped answering during the upload
  ceTftpError = 9,      // the modem refused the file (its own text is shown)
  ceNetworkError = 10,  // another network failure during the upload
  ceInterrupted = 130,  // Ctrl-C (the program ends by the signal, as shells expect)
};

struct TCliExitInfo {
  TCliExit Code;
  const char* Status;       // one word for scripts: "ready", "up-to-date", ...
  const char* Description;  // for --help and the manual page
};

std::span<const TCliExitInfo> CliExitTable();
const TCliExitInfo& CliExitInfo(TCliExit code);
