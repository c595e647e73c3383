// norvane-upgrade: the wizard's two steps, probe and upload, from a terminal or a script.
//
//   norvane-upgrade probe ADDRESS
//   norvane-upgrade upload ADDRESS FILE [--remote-name NAME] [--force] [--timeout SECONDS]
//   norvane-upgrade upload --recovery [ADDRESS [FILE]]
//
// Every verdict and every class of failure has its own exit code (CliExitCodes.h).
#include <CLI/CLI.hpp>

#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "CliExitCodes.h"
#include "CliInterrupt.h"
#include "CliProbe.h"
#include "CliReport.h"
#include "CliTerminal.h"
#include "CliUpload.h"
#include "Cp1252.h"
#include "NetTrivialFTP.h"
#include "Streams.h"
#include "Winsock.h"

namespace {

const char* const kRecoveryAddress = "192.168.1.1";
const char* const kRecoveryFile = "TEImage.bin";

struct TOptions {
  bool Json = false;
  bool Quiet = false;
  std::string Address;
  std::string File;
  std::string RemoteName;
  bool Force = false;
  bool Recovery = false;
  double TimeoutSeconds = kCliReplyTimeoutMs / 1000.0;
};

std::string HelpFooter() {
  std::string s = "Exit status:\n";
  for (const TCliExitInfo& e : CliExitTable()) {
    char code[16];
    std::snprintf(code, sizeof code, "  %-5d", static_cast<int>(e.Code));
    s += code;
    s += e.Description;
    s += '\n';
  }
  return s;
}

// The dotted address for a host text, or empty with the reason in why.
std::string ResolveModemAddress(const std::string& text, std::string& why) {
  if (text.empty()) {
    why = "the address is empty";
    return {};
  }
  try {
    std::string address = GStack().ResolveAddress(text);
    // The stack passes through anything shaped like an address; the modem needs all four parts.
    if (TNetStack::IsDottedQuad(address) && std::count(address.begin(), address.end(), '.') == 3) return address;
    why = "\"" + text + "\" is not an IPv4 address";
  } catch (const ENetSocketError& e) {
    why = "\"" + text + "\" names no known host (" + std::to_string(e.ErrorCode) + ")";
  }
  return {};
}

TCliExit VerdictExit(TCliVerdict v) {
  switch (v) {
    case cvReady: return ceOk;
    case cvUpToDate: return ceUpToDate;
    case cvWrongModem: return ceWrongModem;
    case cvCannotDetect: break;
  }
  return ceCannotDetect;
}

TCliExit Probe(const TOptions& o, TCliReport& report) {
  std::string why;
  const std::string address = ResolveModemAddress(o.Address, why);
  if (address.empty()) {
    report.Result(ceBadAddress, why);
    return ceBadAddress;
  }
  const TCliProbeResult r = ProbeModem(address);
  report.Probed(address, r);
  const TCliExit code = VerdictExit(r.Verdict);
  report.Result(code, "");
  return code;
}

// The file's size, or -1 with the reason in why.
int64_t FirmwareSize(const std::string& file, std::string& why) {
  std::error_code ec;
  if (std::filesystem::is_directory(file, ec)) {
    why = "\"" + file + "\" is a directory, not a firmware file";
    return -1;
  }
  try {
    TFileStream f(file, fmOpenRead | fmShareDenyWrite);
    return f.Size();
  } catch (const Exception& e) {
    why = Cp1252ToUtf8(e.Message());
  }
  return -1;
}

TCliExit Upload(const TOptions& o, TNetTrivialFTP& client, TCliReport& report, TCliOutputMode mode) {
  TCliUploadPlan plan;
  plan.Recovery = o.Recovery;
  plan.LocalFile = !o.File.empty() ? o.File : kRecoveryFile;
  plan.RemoteName = !o.RemoteName.empty() ? o.RemoteName
                    : o.Recovery          ? kRecoveryFile
                                          : std::filesystem::path(plan.LocalFile).filename().string();
  std::string why;
  // Checked before anything goes to the modem, so that a wrong name costs no probe.
  plan.Size = FirmwareSize(plan.LocalFile, why);
  if (plan.Size < 0) {
    report.Result(ceFileError, why);
    return ceFileError;
  }
  plan.Address = ResolveModemAddress(o.Address.empty() && o.Recovery ? kRecoveryAddress : o.Address, why);
  if (plan.Address.empty()) {
    report.Result(ceBadAddress, why);
    return ceBadAddress;
  }
  if (!o.Recovery) {
    const TCliProbeResult r = ProbeModem(plan.Address);
    report.Probed(plan.Address, r);
    if (r.Verdict != cvReady) {
      const TCliExit code = VerdictExit(r.Verdict);
      if (!o.Force) {
        const char* reason = r.Verdict == cvUpToDate     ? "the modem already has the latest firmware"
                             : r.Verdict == cvWrongModem ? "the device is not a Norvane NV-302"
                                                         : "no modem was detected";
        report.Result(code, std::string("nothing sent: ") + reason + " (--force sends the file anyway)");
        return code;
      }
      plan.Forced = true;
      report.Note(std::string("--force: sending although the verdict is \"") + CliVerdictName(r.Verdict) + "\"");
    }
  }
  CliInterrupt::UploadStarted(plan.Size, mode == omText && IsTerminal(csStdErr));
  const auto timeoutMs = static_cast<int32_t>(std::max(1.0, std::round(o.TimeoutSeconds * 1000)));
  const TCliUploadOutcome outcome = UploadFirmware(client, plan, timeoutMs, report);
  report.Result(outcome.Exit, outcome.Message);
  return outcome.Exit;
}

}  // namespace

// What could escape is a fault in the option table or a lack of memory: ending at once is right.
int main(int argc, char** argv) {  // NOLINT(bugprone-exception-escape)
  // Test rigs set this so that nothing the program sends can leave the machine.
  if (const char* v = std::getenv("NORVANE_UPGRADE_LOOPBACK_ONLY"); v && *v && std::string(v) != "0")
    Winsock::SetLoopbackGuard(true);

  TOptions o;
  CLI::App app{"Probes a Pelko Norvane NV-302 ADSL modem over telnet and upgrades its firmware over TFTP.",
               "norvane-upgrade"};
  app.set_version_flag("--version", std::string("norvane-upgrade ") + NORVANE_VERSION);
  app.set_help_all_flag("--help-all", "Print the help of every command");
  app.require_subcommand(1);
  app.fallthrough();
  app.add_flag("--json", o.Json,
               "Write one JSON object per event on standard output (probe, upload, progress, result)");
  app.add_flag("-q,--quiet", o.Quiet, "Print nothing but failures; the exit status tells the outcome");
  app.footer(HelpFooter());

  CLI::App* probe = app.add_subcommand("probe", "Ask the modem at ADDRESS who it is and whether it needs the upgrade");
  probe->add_option("ADDRESS", o.Address, "The modem's address (10.1.1.1 over Ethernet, 10.1.1.2 over USB)")
      ->required();

  CLI::App* upload = app.add_subcommand(
      "upload",
      "Probe the modem at ADDRESS and, when it is ready, send FILE to it over TFTP (port 69, blocks of 1024)");
  upload->add_option("ADDRESS", o.Address, "The modem's address (default with --recovery: 192.168.1.1)");
  upload->add_option("FILE", o.File, "The firmware file, e.g. TEPatch.bin (default with --recovery: TEImage.bin)");
  upload->add_option("--remote-name", o.RemoteName, "The name the modem stores the file under (default: FILE's name)");
  upload->add_flag("--force", o.Force, "Send even when the probe's verdict is not \"ready\"");
  upload->add_flag("--recovery", o.Recovery,
                   "For a modem whose lights all flash: send TEImage.bin without a probe, to 192.168.1.1 unless an "
                   "address is given");
  upload->add_option("--timeout", o.TimeoutSeconds, "Seconds to wait for each reply of the modem (default 4)")
      ->check(CLI::Range(0.001, 3600.0));

  try {
    app.parse(argc, argv);
    if (upload->parsed() && !o.Recovery && (o.Address.empty() || o.File.empty()))
      throw CLI::ValidationError("upload needs ADDRESS and FILE (or --recovery)");
    if (o.Json && o.Quiet) throw CLI::ExcludesError("--json", "--quiet");
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return ceUsage;
  }

  const TCliOutputMode mode = o.Json ? omJson : o.Quiet ? omQuiet : omText;
  CliInterrupt::Arm(mode);
  const std::unique_ptr<TCliReport> report = MakeCliReport(mode, IsTerminal(csStdErr), TerminalColumns(csStdErr));
  try {
    TNetTrivialFTP client(nullptr);  // its life keeps the socket stack, which the lookups use too
    return probe->parsed() ? Probe(o, *report) : Upload(o, client, *report, mode);
  } catch (const std::exception& e) {
    report->Result(ceFailure, Cp1252ToUtf8(e.what()));
    return ceFailure;
  }
}
