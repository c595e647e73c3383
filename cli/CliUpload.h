// The upload of the command line: the wizard's transfer step without the wizard. One TFTP
// write of a local file to the modem's port 69 with block size 1024 and the wizard's reply
// timeout (4 s unless the user sets another), reporting every block, and turning each way
// the transfer can fail into its exit code and a message a helpdesk can act on.
//
// Threads: the command's thread, which the transfer blocks. Ownership: the caller owns the
// TFTP client (it keeps the socket stack alive) and the report; both outlive the call.
#pragma once
#include <cstdint>
#include <string>

#include "CliExitCodes.h"
#include "CliReport.h"
#include "NetTrivialFTP.h"

constexpr int32_t kCliBlockSize = 1024;
constexpr int32_t kCliReplyTimeoutMs = 4000;

struct TCliUploadOutcome {
  TCliExit Exit = ceOk;
  std::string Message;  // UTF-8, for the user
};

// plan.Address must be resolved already; plan.Size is the file's size as the caller found it.
TCliUploadOutcome UploadFirmware(TNetTrivialFTP& client, const TCliUploadPlan& plan, int32_t replyTimeoutMs,
                                 TCliReport& report);
