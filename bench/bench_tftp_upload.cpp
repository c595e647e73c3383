// Uploads an 8 MiB file with block size 1024 to tftpd-hpa on loopback, side by side: our TFTP
// client, the norvane-upgrade program (a whole process, as a user runs it: the recovery road,
// which skips the two-second probe), curl and the atftp client, in interleaved rounds so that a
// busy moment of a shared machine does not fall on one client only. The server listens on
// 127.81.0.1:69, the port norvane-upgrade always uses (run as root). Reports the wall time per
// upload, the CPU time per block of the client alone (the server's time is not counted for any
// of them), and at the end the medians and the ratios of our times to theirs.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "NetTrivialFTP.h"
#include "RealTftpServer.h"
#include "Winsock.h"

namespace {

constexpr size_t kFileSize = 8u << 20;
constexpr int kBlockSize = 1024;
constexpr int kBlocks = kFileSize / kBlockSize + 1;  // the last one empty
constexpr int kRounds = 7;
const char* const kAddress = "127.81.0.1";

using Clock = std::chrono::steady_clock;

struct TShared {
  RealPeers::TRealTftpServer Server{RealPeers::rsTftpdHpa, kAddress, 69};
  RealPeers::TTempDir Local;
  std::string Source;
  std::string Bytes;
  TShared() {
    Source = Local.File("firmware.bin");
    Bytes.resize(kFileSize);
    uint32_t x = 12345;
    for (char& c : Bytes) {
      x = x * 1103515245u + 12345u;
      c = static_cast<char>(x >> 24);
    }
    std::ofstream(Source, std::ios::binary).write(Bytes.data(), static_cast<std::streamsize>(Bytes.size()));
  }
  bool SameAsSource(const std::string& name) const {
    std::ifstream f(Server.FileInDir(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()) == Bytes;
  }
};

TShared& Shared() {
  static TShared shared;
  return shared;
}

// Wall seconds and CPU seconds of every upload, per client.
struct TFigures {
  std::vector<double> Wall;
  std::vector<double> Cpu;
};
std::map<std::string, TFigures> GFigures;

double SelfCpuSeconds() {
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
         static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

void Report(benchmark::State& state, const std::string& client, double wall, double cpu) {
  state.SetIterationTime(wall);
  GFigures[client].Wall.push_back(wall);
  GFigures[client].Cpu.push_back(cpu);
}

void SetCounters(benchmark::State& state, const std::string& client) {
  const TFigures& f = GFigures[client];
  state.counters["cpu_us_per_block"] = f.Cpu.empty() ? 0 : f.Cpu.back() / kBlocks * 1e6;
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kFileSize));
}

bool Ready(benchmark::State& state) {
  if (!Shared().Server.Problem().empty()) {
    state.SkipWithError(Shared().Server.Problem().c_str());
    return false;
  }
  return true;
}

void BM_UploadOurClient(benchmark::State& state) {
  if (!Ready(state)) return;
  TNetTrivialFTP client(nullptr);
  client.SetHost(kAddress);
  client.SetPort(Shared().Server.Port());
  client.SetRequestedBlockSize(kBlockSize);
  client.SetReceiveTimeout(4000);
  for (auto _ : state) {
    const double cpu0 = SelfCpuSeconds();
    const auto t0 = Clock::now();
    try {
      client.PutFile(Shared().Source, "ours.bin");
    } catch (const Exception& e) {
      state.SkipWithError(e.Message().c_str());
      return;
    }
    const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
    Report(state, "ours", wall, SelfCpuSeconds() - cpu0);
  }
  if (!Shared().SameAsSource("ours.bin")) state.SkipWithError("the server's copy differs");
  SetCounters(state, "ours");
}

void RunClient(benchmark::State& state, const std::string& client, const std::vector<std::string>& args,
               const std::string& remote) {
  if (!Ready(state)) return;
  for (auto _ : state) {
    double cpu = 0;
    const auto t0 = Clock::now();
    const int status = RealPeers::RunProgram(args, 60000, cpu);
    const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
    if (status != 0) {
      state.SkipWithError((client + " failed or is missing (scripts/install-deps.sh installs it)").c_str());
      return;
    }
    Report(state, client, wall, cpu);
  }
  if (!Shared().SameAsSource(remote)) state.SkipWithError("the server's copy differs");
  SetCounters(state, client);
}

void BM_UploadCli(benchmark::State& state) {
  RunClient(state, "cli",
            {CLI_PROGRAM, "upload", "--recovery", "--quiet", kAddress, Shared().Source, "--remote-name", "cli.bin"},
            "cli.bin");
}

void BM_UploadCurl(benchmark::State& state) {
  const std::string port = std::to_string(Shared().Server.Port());
  RunClient(state, "curl",
            {"curl", "-s", "-T", Shared().Source, "--tftp-blksize", std::to_string(kBlockSize),
             std::string("tftp://") + kAddress + ":" + port + "/curl.bin"},
            "curl.bin");
}

void BM_UploadAtftp(benchmark::State& state) {
  const std::string port = std::to_string(Shared().Server.Port());
  RunClient(state, "atftp",
            {"atftp", "--option", "blksize " + std::to_string(kBlockSize), "-p", "-l", Shared().Source, "-r",
             "atftp.bin", kAddress, port},
            "atftp.bin");
}

void RegisterRounds() {
  for (int round = 1; round <= kRounds; ++round) {
    const std::string r = "/round:" + std::to_string(round);
    for (auto [name, fn] :
         {std::pair{"BM_UploadOurClient", &BM_UploadOurClient}, std::pair{"BM_UploadCli", &BM_UploadCli},
          std::pair{"BM_UploadCurl", &BM_UploadCurl}, std::pair{"BM_UploadAtftp", &BM_UploadAtftp}})
      benchmark::RegisterBenchmark((name + r).c_str(), fn)
          ->Iterations(1)
          ->UseManualTime()
          ->Unit(benchmark::kMillisecond);
  }
}

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

void PrintSummary() {
  auto wall = [](const char* c) { return Median(GFigures[c].Wall); };
  auto cpuPerBlock = [](const char* c) { return Median(GFigures[c].Cpu) / kBlocks * 1e6; };
  std::printf("\n8 MiB at block size 1024 to tftpd-hpa on loopback, median of %d uploads each:\n", kRounds);
  // The best upload too: on a shared machine a slow upload is mostly someone else's load.
  for (const char* c : {"ours", "cli", "curl", "atftp"}) {
    const auto& w = GFigures[c].Wall;
    std::printf("  %-6s %8.3f s (best %.3f s)   %6.2f us CPU per block\n", c, wall(c),
                w.empty() ? 0.0 : *std::min_element(w.begin(), w.end()), cpuPerBlock(c));
  }
  const double ours = wall("ours");
  const double fastest = std::min(wall("curl") > 0 ? wall("curl") : 1e9, wall("atftp") > 0 ? wall("atftp") : 1e9);
  if (ours > 0 && wall("cli") > 0) std::printf("  ratio cli/ours     %.3f (goal: within 1.02)\n", wall("cli") / ours);
  if (ours > 0 && wall("curl") > 0) std::printf("  ratio ours/curl    %.2f\n", ours / wall("curl"));
  if (ours > 0 && wall("atftp") > 0) std::printf("  ratio ours/atftp   %.2f\n", ours / wall("atftp"));
  if (ours > 0 && fastest < 1e9) std::printf("  ratio ours/fastest %.2f (goal: below 1.00)\n", ours / fastest);
}

}  // namespace

int main(int argc, char** argv) {
  Winsock::SetLoopbackGuard(true);                  // nothing leaves the machine
  setenv("NORVANE_UPGRADE_LOOPBACK_ONLY", "1", 1);  // nor from the program under test
  RegisterRounds();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  PrintSummary();
  benchmark::Shutdown();
  return 0;
}
