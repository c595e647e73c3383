// What the command line tells its user while it works, in one of three forms: text for a
// person (verdict and result lines on standard output, failures and progress on standard
// error: a redrawn bar when standard error is a terminal, a plain line per tenth otherwise),
// JSON for a script (one object per line on standard output: "probe", "upload", "progress"
// at most ten times a second, and one "result" that ends every run), or quiet (failures only).
//
// Threads: the thread that runs the command. Ownership: a report owns its line buffers, which
// are reused, so that reporting a block allocates nothing.
#pragma once
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "CliExitCodes.h"
#include "CliProbe.h"

enum TCliOutputMode { omText, omJson, omQuiet };

struct TCliUploadPlan {
  std::string Address;
  std::string LocalFile;
  std::string RemoteName;
  int64_t Size = 0;
  bool Recovery = false;
  bool Forced = false;  // sent although the probe's verdict was not "ready"
};

class TCliReport {
 public:
  virtual ~TCliReport() = default;

  virtual void Probed(const std::string& address, const TCliProbeResult& result) = 0;
  // A line of information for a person (text form only), e.g. that --force overrides a verdict.
  virtual void Note(const std::string& text) = 0;
  virtual void UploadStarted(const TCliUploadPlan& plan) = 0;
  // The running total of bytes handed to the network, at every block.
  virtual void Progress(int64_t sent) = 0;
  // Ends the progress display, whatever the outcome.
  virtual void UploadEnded() = 0;
  // The run's outcome; message may be empty when an earlier line said it all.
  virtual void Result(TCliExit code, const std::string& message) = 0;

 protected:
  using TClock = std::chrono::steady_clock;
};

// stdErrIsTerminal chooses between the bar and plain lines in the text form.
std::unique_ptr<TCliReport> MakeCliReport(TCliOutputMode mode, bool stdErrIsTerminal, int terminalColumns);

// Byte counts as a person reads them: "512 B", "3.4 KiB", "8.0 MiB".
std::string CliBytesText(int64_t bytes);
