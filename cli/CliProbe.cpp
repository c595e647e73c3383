#include "CliProbe.h"

#include "Messages.h"
#include "TnTelnet.h"

namespace {

const char* ReasonForCode(int32_t code) {
  switch (code) {
    case 10061: return "refused";
    case 10060: return "timed-out";
    case 10051:
    case 10065: return "unreachable";
    default: return "connection-failed";
  }
}

}  // namespace

TCliProbeResult ProbeModem(const std::string& address) {
  TCliProbeResult result;
  TCliGreetingJudge judge;
  try {
    TTnTelnet telnet(nullptr);
    telnet.SetFirewallPort(80);  // the wizard's setting; no firewall is in use
    telnet.OnDataIn = [&judge](TObject*, const std::string& text) { judge.Judge(text); };
    telnet.Connect(address);
    // A plain pause, as in the wizard: the greeting collects on the connection and is read
    // when it is closed.
    Sleep(kCliProbeHoldMs);
    telnet.Disconnect();
  } catch (const ETnError& e) {
    result.Reason = ReasonForCode(e.Code);
    result.Detail = e.Message();
    return result;
  } catch (const Exception& e) {
    result.Reason = "connection-failed";
    result.Detail = e.Message();
    return result;
  }
  if (!judge.Heard()) {
    result.Reason = "no-greeting";
    result.Detail = "the connection was accepted but nothing was said within 2 seconds";
    return result;
  }
  result.Verdict = judge.Verdict();
  result.Firmware = judge.Firmware();
  return result;
}
