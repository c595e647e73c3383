// The telnet tests' peers that run as processes of their own, on Linux: busybox telnetd,
// dante, microsocks, tinyproxy and the scripted peer, each on a free loopback port and killed at
// scope end.
#pragma once
#include "HostSockets.h"  // first: the host's socket headers, before the layer's names
#include "WinsockTestSupport.h"

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "TnTestSupport.h"

extern char** environ;

namespace TnTest {

// Whether something listens on 127.0.0.1:port, read from the kernel's table so that no
// connection is made to the peer just to ask.
inline bool Listening(uint16_t port) {
  std::ifstream f("/proc/net/tcp");
  std::string line;
  char want[32];
  std::snprintf(want, sizeof want, "0100007F:%04X", port);
  while (std::getline(f, line)) {
    std::istringstream in(line);
    std::string sl, local, remote, st;
    in >> sl >> local >> remote >> st;
    if (local == want && st == "0A") return true;
  }
  return false;
}

inline bool WaitListening(uint16_t port, int ms = 5000) {
  for (int waited = 0; waited < ms; waited += 20) {
    if (Listening(port)) return true;
    ::usleep(20000);
  }
  return false;
}

inline std::string FindProgram(const std::string& name) {
  for (const char* dir : {"/usr/sbin/", "/usr/bin/", "/sbin/", "/bin/", "/usr/local/bin/"}) {
    std::string p = std::string(dir) + name;
    if (::access(p.c_str(), X_OK) == 0) return p;
  }
  return std::string();
}

// A private directory for configuration files, removed at scope end.
class TTempDir {
 public:
  TTempDir() {
    char tmpl[] = "/tmp/tn_test_XXXXXX";
    if (::mkdtemp(tmpl)) FPath = tmpl;
  }
  ~TTempDir() {
    if (!FPath.empty()) std::system(("rm -rf '" + FPath + "'").c_str());
  }
  const std::string& Path() const { return FPath; }
  std::string Write(const std::string& name, const std::string& text, bool executable = false) {
    const std::string p = FPath + "/" + name;
    std::ofstream(p) << text;
    if (executable) ::chmod(p.c_str(), 0755);
    return p;
  }

 private:
  std::string FPath;
};

// A child process in its own process group, with its standard output on a pipe; the group is
// ended at scope end.
class TChild {
 public:
  TChild() = default;
  TChild(const TChild&) = delete;
  TChild& operator=(const TChild&) = delete;
  ~TChild() { Stop(); }

  // Returns an empty text, or why the start failed.
  std::string Start(const std::vector<std::string>& args) {
    if (args.empty() || ::access(args[0].c_str(), X_OK) != 0)
      return "program not found: " + (args.empty() ? std::string("(none)") : args[0]) +
             " (scripts/install-deps.sh installs the test peers)";
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return "pipe failed";
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, out[1], 1);
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    posix_spawnattr_t at;
    posix_spawnattr_init(&at);
    posix_spawnattr_setflags(&at, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&at, 0);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const int r = posix_spawn(&FPid, args[0].c_str(), &fa, &at, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    posix_spawnattr_destroy(&at);
    ::close(out[1]);
    FOut = out[0];
    if (r != 0) {
      FPid = -1;
      return "cannot start " + args[0];
    }
    return std::string();
  }

  // One line of the child's output (without the newline), waiting at most `ms`.
  bool ReadLine(std::string& line, int ms = 5000) {
    line.clear();
    for (;;) {
      const size_t nl = FBuffered.find('\n');
      if (nl != std::string::npos) {
        line = FBuffered.substr(0, nl);
        FBuffered.erase(0, nl + 1);
        return true;
      }
      if (FOut < 0 || !WinsockTest::HostReady(FOut, WinsockTest::hrRead, ms)) return false;
      char buf[4096];
      const ssize_t n = ::read(FOut, buf, sizeof buf);
      if (n <= 0) return false;
      FBuffered.append(buf, static_cast<size_t>(n));
    }
  }

  // Waits up to `ms` for the child to end by itself; false if it is still running.
  bool WaitExit(int ms) {
    for (int waited = 0; FPid > 0 && waited <= ms; waited += 10) {
      if (::waitpid(FPid, nullptr, WNOHANG) == FPid) {
        FPid = -1;
        return true;
      }
      ::usleep(10000);
    }
    return FPid <= 0;
  }

  void Stop() {
    if (FPid > 0) {
      ::kill(-FPid, SIGTERM);
      if (!WaitExit(2000)) {
        ::kill(-FPid, SIGKILL);
        ::waitpid(FPid, nullptr, 0);
      }
      FPid = -1;
    }
    if (FOut >= 0) ::close(FOut);
    FOut = -1;
  }

 private:
  pid_t FPid = -1;
  int FOut = -1;
  std::string FBuffered;
};

// The scripted peer of tools/: one connection, the given steps, then what it received.
class TScriptedPeer {
 public:
  // Returns an empty text or why it failed.
  std::string Start(const std::vector<std::string>& steps) {
    std::vector<std::string> args{TN_SCRIPTED_PEER};
    args.insert(args.end(), steps.begin(), steps.end());
    if (std::string e = FChild.Start(args); !e.empty()) return e;
    std::string line;
    if (!FChild.ReadLine(line) || line.rfind("PORT ", 0) != 0) return "the scripted peer did not report its port";
    Port = static_cast<uint16_t>(std::stoi(line.substr(5)));
    return std::string();
  }
  // Every byte the peer received, once it has run its script (at most `ms`).
  std::string Received(int ms = 10000) {
    std::string line;
    if (!FChild.ReadLine(line, ms) || line.rfind("RECV ", 0) != 0) return "<no report>";
    std::string out;
    for (size_t i = 5; i + 1 < line.size(); i += 2) out += static_cast<char>(std::stoi(line.substr(i, 2), nullptr, 16));
    return out;
  }
  uint16_t Port = 0;

 private:
  TChild FChild;
};

// busybox telnetd whose login program prints `greeting` and stays a while.
class TTelnetServer {
 public:
  std::string Start(const std::string& greeting) {
    const std::string busybox = FindProgram("busybox");
    if (busybox.empty()) return "busybox not found (busybox-static provides telnetd)";
    const std::string script =
        FDir.Write("login.sh", "#!/bin/sh\nprintf '" + greeting + "\\r\\n'\nexec sleep 5\n", true);
    Port = FreePort();
    if (std::string e =
            FChild.Start({busybox, "telnetd", "-F", "-p", std::to_string(Port), "-b", "127.0.0.1", "-l", script});
        !e.empty())
      return e;
    if (!WaitListening(Port)) return "busybox telnetd does not listen on port " + std::to_string(Port);
    return std::string();
  }
  uint16_t Port = 0;

 private:
  TTempDir FDir;
  TChild FChild;
};

}  // namespace TnTest
