// How the command line judges a modem's telnet greeting: by the same two texts and in the same
// order as the wizard. Each received chunk is judged alone, as far as its first NUL, and
// replaces the verdict of the chunk before it, so the last chunk decides: a target version
// anywhere in it means up to date, else the greeting means ready, else it is the wrong modem.
// Nothing heard at all leaves the modem undetected. The firmware version is taken from the
// text after the word "firmware", for the user to read; it takes no part in the verdict.
//
// Threads: any; one judge per probe. Ownership: the judge keeps copies of what it reports.
#pragma once
#include <string>

enum TCliVerdict { cvReady, cvUpToDate, cvWrongModem, cvCannotDetect };

// "ready", "up-to-date", "wrong-modem", "cannot-detect".
const char* CliVerdictName(TCliVerdict v);

class TCliGreetingJudge {
 public:
  static constexpr const char* kTargetVersion = "R2.01M.B06.PK_021206a_T93.3.44";
  static constexpr const char* kGreeting = "Welcome to Titanium";

  void Judge(const std::string& chunk);

  bool Heard() const { return FHeard; }
  TCliVerdict Verdict() const { return FVerdict; }
  // The latest version any chunk named; empty when none did.
  const std::string& Firmware() const { return FFirmware; }

 private:
  bool FHeard = false;
  TCliVerdict FVerdict = cvCannotDetect;
  std::string FFirmware;
};
