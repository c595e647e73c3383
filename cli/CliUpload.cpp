#include "CliUpload.h"

#include <typeinfo>

#include "CliInterrupt.h"
#include "Cp1252.h"
#include "SysUtils.h"

namespace {

// Socket errors read "Socket Error # n\r\ntext": one line for a terminal.
std::string OneLine(std::string text) {
  for (size_t at; (at = text.find("\r\n")) != std::string::npos;) text.replace(at, 2, " ");
  return Cp1252ToUtf8(text);
}

std::string SentSoFar(int64_t sent, int64_t total) {
  return std::to_string(sent) + " of " + std::to_string(total) + " bytes had been sent";
}

}  // namespace

TCliUploadOutcome UploadFirmware(TNetTrivialFTP& client, const TCliUploadPlan& plan, int32_t replyTimeoutMs,
                                 TCliReport& report) {
  client.SetHost(plan.Address);
  client.SetPort(69);
  client.SetRequestedBlockSize(kCliBlockSize);
  client.SetReceiveTimeout(replyTimeoutMs);
  client.SetBroadcastEnabled(true);
  int64_t sent = 0;
  client.OnWork = [&](TObject*, TWorkMode, int32_t count) {
    sent = count;
    CliInterrupt::Sent(count);
    report.Progress(count);
  };
  report.UploadStarted(plan);
  TCliUploadOutcome outcome;
  try {
    client.PutFile(plan.LocalFile, plan.RemoteName);
    outcome.Message = "Sent " + plan.LocalFile + " (" + std::to_string(sent) + " bytes) to " + plan.Address + " as " +
                      plan.RemoteName + ".";
  } catch (const ENetTFTPException& e) {
    // The client's own time-out is the base class with this text; a server's ERROR of code 0
    // with the same text would read the same, and means the same to the user.
    if (typeid(e) == typeid(ENetTFTPException) && e.Message() == "Timeout") {
      outcome = {ceNoAnswer, "the modem at " + plan.Address + " stopped answering (no reply within " +
                                 std::to_string(replyTimeoutMs) + " ms); " + SentSoFar(sent, plan.Size)};
    } else {
      outcome = {ceTftpError,
                 "the modem refused the file: " + OneLine(e.Message()) + " (" + SentSoFar(sent, plan.Size) + ")"};
    }
  } catch (const EConvertError& e) {
    outcome = {ceTftpError, "the modem answered with an unreadable block size: " + OneLine(e.Message())};
  } catch (const EStreamError& e) {
    outcome = {ceFileError, "cannot read the firmware file: " + OneLine(e.Message())};
  } catch (const ENetSocketError& e) {
    outcome = {e.ErrorCode == 11001 ? ceBadAddress : ceNetworkError,
               "network failure: " + OneLine(e.Message()) + " (" + SentSoFar(sent, plan.Size) + ")"};
  } catch (const Exception& e) {
    outcome = {ceNetworkError, OneLine(e.Message()) + " (" + SentSoFar(sent, plan.Size) + ")"};
  }
  client.OnWork = nullptr;
  report.UploadEnded();
  return outcome;
}
