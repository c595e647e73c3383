#include "CliExitCodes.h"

namespace {
constexpr TCliExitInfo kExits[] = {
    {ceOk, "ok", "probe: the modem is ready to be upgraded; upload: the modem has the file"},
    {ceFailure, "failure", "an unexpected failure of the program itself"},
    {ceUsage, "usage", "the command line is wrong"},
    {ceUpToDate, "up-to-date", "the modem already has the latest firmware (nothing sent)"},
    {ceWrongModem, "wrong-modem", "the device is not a Norvane NV-302 (nothing sent)"},
    {ceCannotDetect, "cannot-detect",
     "no modem detected: connection refused or unreachable, or no greeting (nothing sent)"},
    {ceFileError, "file-error", "the firmware file is missing or unreadable"},
    {ceBadAddress, "bad-address", "the address is empty or names no known host"},
    {ceNoAnswer, "no-answer", "the modem stopped answering during the upload"},
    {ceTftpError, "tftp-error", "the modem refused the file; its own message is shown"},
    {ceNetworkError, "network-error", "another network failure during the upload"},
    {ceInterrupted, "interrupted", "interrupted by Ctrl-C; the message says how much was sent"},
};
}  // namespace

std::span<const TCliExitInfo> CliExitTable() { return kExits; }

const TCliExitInfo& CliExitInfo(TCliExit code) {
  for (const TCliExitInfo& e : kExits)
    if (e.Code == code) return e;
  return kExits[1];
}
