// The probe of the command line: the wizard's detection step without the wizard. It opens a
// telnet connection to the modem (port 23), holds it for two seconds while the greeting
// arrives, closes it, and judges what came (CliVerdict.h). A connection that fails leaves the
// modem undetected with the component's own reason; so does a connection on which nothing
// at all was said (the wizard would let such a modem through; the command line does not
// upload to a device that never identified itself).
//
// Threads: the thread that runs the platform's message queue (the telnet engine dispatches it
// while it connects); the call blocks for the connection plus the two-second hold.
// Ownership: the probe's telnet component lives for the call only.
#pragma once
#include <cstdint>
#include <string>

#include "CliVerdict.h"

struct TCliProbeResult {
  TCliVerdict Verdict = cvCannotDetect;
  std::string Firmware;  // the greeting's firmware version, empty when it named none
  std::string Reason;    // cvCannotDetect: one word for scripts ("refused", "no-greeting", ...)
  std::string Detail;    // cvCannotDetect: the failure as the telnet component reported it
};

constexpr uint32_t kCliProbeHoldMs = 2000;

// address must be resolved already (a dotted IPv4 address).
TCliProbeResult ProbeModem(const std::string& address);
