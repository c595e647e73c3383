// Ctrl-C (SIGINT) and SIGTERM for the command line. The upload holds the thread in waits of up
// to the reply timeout, inside the TFTP client, where no flag of ours is looked at; so the
// handler does not ask the program to stop, it finishes it: it writes one line saying how many
// bytes had been handed to the network (a JSON "result" object in the JSON form, else text on
// standard error), then ends the process by the same signal, which shells and scripts read as
// "interrupted" (exit status 130 for Ctrl-C). The kernel closes the sockets; the modem keeps an
// incomplete file, as after any failed transfer, and no cleanup of ours is needed.
//
// Threads: Arm and the setters from the command's thread; the handler runs on whichever thread
// the signal interrupts and touches only lock-free atomics, prepared texts and write(2).
// Ownership: the prepared state is process-wide and lives until the process ends.
#pragma once
#include <cstdint>

#include "CliReport.h"

namespace CliInterrupt {

// Installs the handler for SIGINT and SIGTERM and ignores SIGPIPE (a closed output pipe must
// not end an upload half way).
void Arm(TCliOutputMode mode);
// From now on an interruption reports afterBar first ends the progress bar's line.
void UploadStarted(int64_t total, bool afterBar);
// The running total of bytes handed to the network; called at every block.
void Sent(int64_t bytes);

}  // namespace CliInterrupt
