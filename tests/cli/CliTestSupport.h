// Shared by the command-line tests: running the built norvane-upgrade as a user would (pipes,
// or a pseudo-terminal), each run bounded by a deadline after which it is killed, so that a
// test fails instead of hanging; loopback addresses of the test's own; small file helpers.
// Every run carries NORVANE_UPGRADE_LOOPBACK_ONLY, so the program itself cannot send outside
// 127.0.0.0/8 either.
#pragma once
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "Files.h"
#include "ProcessAddress.h"
#include "WaitUntil.h"

extern char** environ;

namespace CliTest {

using Clock = std::chrono::steady_clock;

struct TRun {
  int Exit = -1;    // the exit code, or -1 when the program ended by a signal
  int Signal = 0;   // the signal that ended it, or 0
  std::string Out;  // standard output (on a pseudo-terminal: everything it showed)
  std::string Err;
  double Seconds = 0;
};

inline std::vector<char*> Argv(std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  return argv;
}

// This process's environment, less the variables named in drop, with the loopback guard on.
inline std::vector<std::string> Environment(const std::vector<std::string>& drop = {}) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string v = *e;
    bool keep = true;
    for (const std::string& d : drop) keep = keep && v.rfind(d + "=", 0) != 0;
    if (keep) env.push_back(v);
  }
  env.emplace_back("NORVANE_UPGRADE_LOOPBACK_ONLY=1");
  return env;
}

inline void Finish(TRun& r, int status, Clock::time_point t0) {
  r.Seconds = std::chrono::duration<double>(Clock::now() - t0).count();
  if (WIFEXITED(status)) r.Exit = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) r.Signal = WTERMSIG(status);
}

// Reads the descriptors until each reaches its end or the deadline passes; then the process
// is killed. Returns false on the deadline.
inline bool Drain(std::vector<std::pair<int, std::string*>> fds, pid_t pid, Clock::time_point deadline) {
  while (!fds.empty()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) {
      ::kill(pid, SIGKILL);
      return false;
    }
    std::vector<pollfd> p;
    for (auto& f : fds) p.push_back({f.first, POLLIN, 0});
    if (::poll(p.data(), p.size(), static_cast<int>(left)) <= 0) continue;
    for (size_t i = p.size(); i-- > 0;) {
      if (!p[i].revents) continue;
      char buf[65536];
      const ssize_t n = ::read(p[i].fd, buf, sizeof buf);
      if (n > 0) {
        fds[i].second->append(buf, static_cast<size_t>(n));
      } else {
        ::close(fds[i].first);
        fds.erase(fds.begin() + static_cast<long>(i));
      }
    }
  }
  return true;
}

// Runs the program args[0] in directory cwd with standard output and error on pipes.
inline TRun Execute(std::vector<std::string> args, const std::string& cwd, int timeoutMs = 30000,
                    const std::vector<std::string>& dropEnv = {}) {
  std::vector<std::string> env = Environment(dropEnv);
  int out[2], err[2];
  TRun r;
  if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) return r;
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addchdir_np(&fa, cwd.c_str());
  posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&fa, out[1], 1);
  posix_spawn_file_actions_adddup2(&fa, err[1], 2);
  const auto t0 = Clock::now();
  pid_t pid = -1;
  const int spawned = posix_spawnp(&pid, args[0].c_str(), &fa, nullptr, Argv(args).data(), Argv(env).data());
  posix_spawn_file_actions_destroy(&fa);
  ::close(out[1]);
  ::close(err[1]);
  if (spawned != 0) {
    ::close(out[0]);
    ::close(err[0]);
    return r;
  }
  Drain({{out[0], &r.Out}, {err[0], &r.Err}}, pid, t0 + std::chrono::milliseconds(timeoutMs));
  int status = 0;
  ::waitpid(pid, &status, 0);
  Finish(r, status, t0);
  return r;
}

#ifdef CLI_PROGRAM
// Runs the built norvane-upgrade with these arguments.
inline TRun RunCli(std::vector<std::string> args, const std::string& cwd, int timeoutMs = 30000) {
  args.insert(args.begin(), CLI_PROGRAM);
  return Execute(std::move(args), cwd, timeoutMs);
}

// The program on a pseudo-terminal of its own, as in a terminal window: standard output and
// error both go to the terminal, and Ctrl-C typed there interrupts it.
class TPtyRun {
 public:
  TPtyRun(std::vector<std::string> args, const std::string& cwd) {
    args.insert(args.begin(), CLI_PROGRAM);
    std::vector<std::string> env = Environment();
    winsize ws{};
    ws.ws_col = 100;
    ws.ws_row = 30;
    FStart = Clock::now();
    FPid = ::forkpty(&FMaster, nullptr, nullptr, &ws);
    if (FPid == 0) {
      if (::chdir(cwd.c_str()) != 0) ::_exit(127);
      ::execve(args[0].c_str(), Argv(args).data(), Argv(env).data());
      ::_exit(127);
    }
  }
  ~TPtyRun() {
    if (FPid > 0 && !FWaited) {
      ::kill(FPid, SIGKILL);
      ::waitpid(FPid, nullptr, 0);
    }
    if (FMaster >= 0) ::close(FMaster);
  }
  bool Started() const { return FPid > 0; }
  // Ctrl-C as the keyboard sends it: the terminal turns it into SIGINT for the program.
  void TypeCtrlC() { (void)!::write(FMaster, "\x03", 1); }
  // Reads everything the program shows until it ends (or is killed at the deadline).
  TRun Wait(int timeoutMs = 30000) {
    TRun r;
    std::string shown;
    // A pseudo-terminal reports its end as an error once the program has gone.
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    Drain({{::dup(FMaster), &shown}}, FPid, deadline);
    int status = 0;
    ::waitpid(FPid, &status, 0);
    FWaited = true;
    Finish(r, status, FStart);
    r.Out = shown;
    return r;
  }
  Clock::time_point Start() const { return FStart; }

 private:
  int FMaster = -1;
  pid_t FPid = -1;
  bool FWaited = false;
  Clock::time_point FStart;
};
#endif

// A loopback address of this test process's own; n tells apart several in one test.
inline std::string TestAddress(int n = 0) { return ProcessLoopbackAddress(80 + n); }

}  // namespace CliTest
