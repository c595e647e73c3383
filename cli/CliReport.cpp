// Sections: shared arithmetic and texts; the text report (bar, plain lines, quiet); the JSON
// report.
#include "CliReport.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "CliTerminal.h"
#include "Cp1252.h"

namespace {

constexpr auto kProgressPeriod = std::chrono::milliseconds(100);  // at most ten a second

// ---- shared arithmetic and texts ----

// Where an upload stands: share, average rate since its start, and the time left at that rate.
struct TPace {
  std::chrono::steady_clock::time_point Start;
  int64_t Total = 0;
  int64_t Sent = 0;

  double Seconds(std::chrono::steady_clock::time_point now) const {
    return std::chrono::duration<double>(now - Start).count();
  }
  int Percent() const { return Total > 0 ? static_cast<int>(std::min<int64_t>(Sent, Total) * 100 / Total) : 0; }
  double Rate(double seconds) const { return seconds > 0.001 ? static_cast<double>(Sent) / seconds : 0; }
  // Negative while no rate is known yet.
  double SecondsLeft(double seconds) const {
    const double rate = Rate(seconds);
    return rate > 0 ? static_cast<double>(std::max<int64_t>(Total - Sent, 0)) / rate : -1;
  }
};

std::string Clock(double seconds) {
  if (seconds < 0) return "--:--";
  const auto s = static_cast<int64_t>(std::lround(seconds));
  char buf[32];
  std::snprintf(buf, sizeof buf, "%lld:%02lld", static_cast<long long>(s / 60), static_cast<long long>(s % 60));
  return buf;
}

std::string VerdictLine(const std::string& address, const TCliProbeResult& r) {
  // Texts from the modem are in its Windows code page; the terminal reads UTF-8.
  const std::string firmware = Cp1252ToUtf8(r.Firmware);
  switch (r.Verdict) {
    case cvReady:
      return "Ready: the modem at " + address + " is a Norvane NV-302" +
             (firmware.empty() ? "" : " with firmware " + firmware) + "; it can be upgraded.";
    case cvUpToDate:
      return "Up to date: the modem at " + address + " already has firmware " + firmware +
             "; it does not need to be updated.";
    case cvWrongModem:
      return "Wrong modem: the device at " + address + " is not a Norvane NV-302; this firmware is not for it.";
    case cvCannotDetect: break;
  }
  if (r.Reason == "no-greeting")
    return "Cannot detect: the device at " + address + " accepted the connection but sent no greeting.";
  if (r.Reason == "refused")
    return "Cannot detect: the connection to " + address + " was refused (" + Cp1252ToUtf8(r.Detail) + ").";
  return "Cannot detect: no modem could be reached at " + address + " (" + Cp1252ToUtf8(r.Detail) + ").";
}

// ---- the text report ----

class TTextReport final : public TCliReport {
 public:
  TTextReport(bool quiet, bool bar, int columns) : FQuiet(quiet), FBar(bar), FColumns(columns) {}

  void Probed(const std::string& address, const TCliProbeResult& r) override {
    if (!FQuiet) WriteAll(csStdOut, VerdictLine(address, r) + "\n");
  }
  void Note(const std::string& text) override {
    if (!FQuiet) WriteAll(csStdErr, text + "\n");
  }
  void UploadStarted(const TCliUploadPlan& plan) override {
    FPace = TPace{TClock::now(), plan.Size, 0};
    FNextDraw = FPace.Start;
    FLastTenth = 0;
    FActive = !FQuiet;
    if (!FActive) return;
    WriteAll(csStdErr, "Sending " + plan.LocalFile + " (" + CliBytesText(plan.Size) + ") to " + plan.Address + " as " +
                           plan.RemoteName + "\n");
    if (FBar) Draw(FPace.Start);
  }
  void Progress(int64_t sent) override {
    FPace.Sent = sent;
    if (!FActive) return;
    if (FBar) {
      const auto now = TClock::now();
      if (now >= FNextDraw) Draw(now);
      return;
    }
    const int tenth = FPace.Total > 0 ? FPace.Percent() / 10 : 0;
    if (tenth > FLastTenth) {
      FLastTenth = tenth;
      PlainLine();
    }
  }
  void UploadEnded() override {
    if (!FActive) return;
    FActive = false;
    if (FBar) {
      Draw(TClock::now());
      WriteAll(csStdErr, "\n");
    }
  }
  void Result(TCliExit code, const std::string& message) override {
    if (message.empty()) return;
    if (code == ceOk) {
      if (!FQuiet) WriteAll(csStdOut, message + "\n");
    } else {
      WriteAll(csStdErr, "norvane-upgrade: " + message + "\n");
    }
  }

 private:
  // " 42% [#########.........]  3.4 MiB of 8.0 MiB  1.2 MiB/s  0:04 left", as wide as the
  // terminal allows; the bar itself goes when there is no room for it.
  void Draw(TClock::time_point now) {
    FNextDraw = now + kProgressPeriod;
    const double seconds = FPace.Seconds(now);
    char head[8];
    std::snprintf(head, sizeof head, "%3d%%", FPace.Percent());
    FTail.assign("  ");
    FTail += CliBytesText(FPace.Sent);
    FTail += " of ";
    FTail += CliBytesText(FPace.Total);
    FTail += "  ";
    FTail += CliBytesText(static_cast<int64_t>(FPace.Rate(seconds)));
    FTail += "/s  ";
    FTail += Clock(FPace.SecondsLeft(seconds));
    FTail += " left";
    const int room = FColumns - 1 - static_cast<int>(sizeof "100% []" - 1) - static_cast<int>(FTail.size());
    FLine.assign("\r");
    FLine += head;
    if (room >= 10) {
      const int filled =
          FPace.Total > 0 ? static_cast<int>(std::min<int64_t>(FPace.Sent, FPace.Total) * room / FPace.Total) : 0;
      FLine += " [";
      FLine.append(static_cast<size_t>(filled), '#');
      FLine.append(static_cast<size_t>(room - filled), '.');
      FLine += "]";
    }
    FLine += FTail;
    FLine += "\x1b[K";  // clears what a longer earlier line left
    WriteAll(csStdErr, FLine);
  }
  void PlainLine() {
    char buf[96];
    std::snprintf(buf, sizeof buf, "%3d%%  %lld of %lld bytes\n", FPace.Percent(), static_cast<long long>(FPace.Sent),
                  static_cast<long long>(FPace.Total));
    WriteAll(csStdErr, buf);
  }

  const bool FQuiet;
  const bool FBar;
  const int FColumns;
  bool FActive = false;
  TPace FPace;
  TClock::time_point FNextDraw;
  int FLastTenth = 0;
  std::string FLine;
  std::string FTail;
};

// ---- the JSON report ----

// One JSON object built into a reused buffer and written with one call.
class TJsonLine {
 public:
  TJsonLine& Begin(const char* event) {
    FText.assign("{\"event\":\"");
    FText += event;
    FText += '"';
    return *this;
  }
  TJsonLine& Text(const char* key, const std::string& utf8) {
    Key(key);
    Quoted(utf8);
    return *this;
  }
  TJsonLine& TextOrNull(const char* key, const std::string& utf8) {
    if (utf8.empty()) return Raw(key, "null");
    return Text(key, utf8);
  }
  TJsonLine& Int(const char* key, int64_t v) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(v));
    return Raw(key, buf);
  }
  TJsonLine& Real(const char* key, double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.3f", v);
    return Raw(key, buf);
  }
  TJsonLine& Bool(const char* key, bool v) { return Raw(key, v ? "true" : "false"); }
  TJsonLine& Raw(const char* key, const char* value) {
    Key(key);
    FText += value;
    return *this;
  }
  void Write() {
    FText += "}\n";
    WriteAll(csStdOut, FText);
  }

 private:
  void Key(const char* key) {
    FText += ",\"";
    FText += key;
    FText += "\":";
  }
  void Quoted(const std::string& s) {
    FText += '"';
    for (const char c : s) {
      switch (c) {
        case '"': FText += "\\\""; break;
        case '\\': FText += "\\\\"; break;
        case '\n': FText += "\\n"; break;
        case '\r': FText += "\\r"; break;
        case '\t': FText += "\\t"; break;
        default:
          if (static_cast<unsigned char>(c) < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(c));
            FText += buf;
          } else {
            FText += c;
          }
      }
    }
    FText += '"';
  }

  std::string FText;
};

class TJsonReport final : public TCliReport {
 public:
  void Probed(const std::string& address, const TCliProbeResult& r) override {
    FLine.Begin("probe").Text("address", address).Text("verdict", CliVerdictName(r.Verdict));
    FLine.TextOrNull("firmware", Cp1252ToUtf8(r.Firmware));
    if (r.Verdict == cvCannotDetect) FLine.Text("reason", r.Reason).Text("detail", Cp1252ToUtf8(r.Detail));
    FLine.Write();
  }
  void Note(const std::string&) override {}
  void UploadStarted(const TCliUploadPlan& plan) override {
    FPace = TPace{TClock::now(), plan.Size, 0};
    FNextEvent = FPace.Start + kProgressPeriod;
    FUploading = true;
    FLine.Begin("upload").Text("address", plan.Address).Text("file", plan.LocalFile).Text("remote", plan.RemoteName);
    FLine.Int("bytes", plan.Size).Bool("recovery", plan.Recovery).Bool("forced", plan.Forced).Write();
  }
  void Progress(int64_t sent) override {
    FPace.Sent = sent;
    const auto now = TClock::now();
    if (now < FNextEvent) return;
    FNextEvent = now + kProgressPeriod;
    const double seconds = FPace.Seconds(now);
    FLine.Begin("progress").Int("sent", sent).Int("total", FPace.Total).Int("percent", FPace.Percent());
    FLine.Int("rate", static_cast<int64_t>(FPace.Rate(seconds))).Real("elapsed", seconds);
    const double left = FPace.SecondsLeft(seconds);
    if (left < 0)
      FLine.Raw("eta", "null");
    else
      FLine.Real("eta", left);
    FLine.Write();
  }
  void UploadEnded() override { FEnded = TClock::now(); }
  void Result(TCliExit code, const std::string& message) override {
    FLine.Begin("result").Int("exit", code).Text("status", CliExitInfo(code).Status).Text("message", message);
    if (FUploading) FLine.Int("sent", FPace.Sent).Int("total", FPace.Total).Real("elapsed", FPace.Seconds(FEnded));
    FLine.Write();
  }

 private:
  TJsonLine FLine;
  TPace FPace;
  bool FUploading = false;
  TClock::time_point FNextEvent;
  TClock::time_point FEnded;
};

}  // namespace

std::string CliBytesText(int64_t bytes) {
  char buf[32];
  if (bytes < 1024)
    std::snprintf(buf, sizeof buf, "%lld B", static_cast<long long>(bytes));
  else if (bytes < int64_t{1024} * 1024)
    std::snprintf(buf, sizeof buf, "%.1f KiB", static_cast<double>(bytes) / 1024);
  else
    std::snprintf(buf, sizeof buf, "%.1f MiB", static_cast<double>(bytes) / (1024 * 1024));
  return buf;
}

std::unique_ptr<TCliReport> MakeCliReport(TCliOutputMode mode, bool stdErrIsTerminal, int terminalColumns) {
  if (mode == omJson) return std::make_unique<TJsonReport>();
  return std::make_unique<TTextReport>(mode == omQuiet, stdErrIsTerminal, terminalColumns);
}
