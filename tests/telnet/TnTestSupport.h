// Shared by the telnet tests: child processes for the real peers (busybox telnetd, dante,
// microsocks, tinyproxy) and the scripted peer, each on a free loopback port and killed at
// scope end; an engine instance driven through its C entry points that records its events; and
// pumping against a deadline, so that a test fails instead of hanging.
#pragma once
#include "WinsockTestSupport.h"  // first: brings the host's socket headers in order

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "TnEngine.h"
#include "TnInstance.h"

extern char** environ;

namespace TnTest {

using WinsockTest::TWatchdog;

// A free TCP port on 127.0.0.1 (bound once and let go).
inline uint16_t FreePort() {
  uint16_t port = 0;
  WinsockTest::THostFd fd = WinsockTest::HostBound(::SOCK_STREAM, port, false);
  return fd.Fd >= 0 ? port : 0;
}

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
      if (FOut < 0 || !WinsockTest::HostReady(FOut, POLLIN, ms)) return false;
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

inline std::string Hex(const std::string& s) {
  std::string out;
  char b[4];
  for (unsigned char c : s) {
    std::snprintf(b, sizeof b, "%02x", c);
    out += b;
  }
  return out;
}

// One recorded engine event.
struct TEvent {
  int Id = 0;
  std::vector<intptr_t> Values;
  std::vector<std::string> Texts;  // per argument: the NUL-terminated text or the byte block
  std::string Show() const;
};

// An engine instance used through its entry points, recording every event it raises.
class TEngine {
 public:
  TEngine() { H = Telnet_Create(&TEngine::Proc, this, nullptr); }
  ~TEngine() {
    if (H) Telnet_Destroy(H);
  }
  TEngine(const TEngine&) = delete;
  TEngine& operator=(const TEngine&) = delete;

  int Set(int id, intptr_t v) { return Telnet_Set(H, id, 0, v, 0); }
  int SetText(int id, const std::string& s) { return Telnet_Set(H, id, 0, reinterpret_cast<intptr_t>(s.c_str()), 0); }
  int SetBytes(int id, const std::string& s) {
    return Telnet_Set(H, id, 0, reinterpret_cast<intptr_t>(s.data()), static_cast<int>(s.size()));
  }
  intptr_t Get(int id) { return Telnet_Get(H, id, 0, nullptr); }
  std::string GetText(int id) {
    const char* p = reinterpret_cast<const char*>(Get(id));
    return p ? p : "";
  }
  int Connect(const std::string& host) {
    intptr_t v[2] = {reinterpret_cast<intptr_t>(host.c_str()), 0};
    int l[2] = {0, 0};
    return Telnet_Do(H, tnmConnect, 1, v, l);
  }
  int Disconnect() {
    intptr_t v[2] = {0, 0};
    int l[2] = {0, 0};
    return Telnet_Do(H, tnmDisconnect, 0, v, l);
  }
  int Send(const std::string& s) {
    intptr_t v[2] = {reinterpret_cast<intptr_t>(s.data()), 0};
    int l[2] = {static_cast<int>(s.size()), 0};
    return Telnet_Do(H, tnmSend, 1, v, l);
  }
  // Runs ConfigSetting; `result` gets the text handed back.
  int Config(const std::string& text, std::string* result = nullptr) {
    intptr_t v[2] = {reinterpret_cast<intptr_t>(text.c_str()), 0};
    int l[2] = {0, 0};
    const int r = Telnet_Do(H, tnmConfigSetting, 1, v, l);
    if (result) *result = v[1] ? reinterpret_cast<const char*>(v[1]) : "<null>";
    return r;
  }
  std::string Setting(const std::string& name) {
    std::string r;
    Config(name, &r);
    return r;
  }
  std::string LastError() { return Telnet_GetLastError(H); }

  // The events recorded, as text, OnReadyToSend left out unless asked for.
  std::vector<std::string> Shown(bool withReady = false) const {
    std::vector<std::string> out;
    for (const TEvent& e : Events)
      if (withReady || e.Id != tnevReadyToSend) out.push_back(e.Show());
    return out;
  }
  // All OnDataIn bytes in order.
  std::string Data() const {
    std::string out;
    for (const TEvent& e : Events)
      if (e.Id == tnevDataIn) out += e.Texts[0];
    return out;
  }
  bool Has(int id) const {
    for (const TEvent& e : Events)
      if (e.Id == id) return true;
    return false;
  }
  // Pumps the thread's messages until `cond` holds or `ms` passes.
  bool PumpUntil(const std::function<bool()>& cond, int ms = 5000) {
    WinsockTest::TNoteWindow dummy;  // only for its pump
    return dummy.PumpUntil(cond, ms);
  }

  TTnHandle H = nullptr;
  std::vector<TEvent> Events;
  std::function<void(const TEvent&)> OnEvent;

 private:
  static int Proc(void* user, int id, int argc, const intptr_t* argv, const int* argl) {
    auto* self = static_cast<TEngine*>(user);
    TEvent e;
    e.Id = id;
    for (int i = 0; i < argc; ++i) {
      e.Values.push_back(argv[i]);
      std::string t;
      const bool bytes = id == tnevDataIn || id == tnevSubOption;
      const bool text = (id == tnevConnected || id == tnevDisconnected || id == tnevError) ? i == 1
                        : id == tnevConnectionStatus                                       ? i != 1
                                                                                           : false;
      if (bytes) {
        // The engine promises a NUL after the block during the call.
        EXPECT_EQ(reinterpret_cast<const char*>(argv[i])[argl[i]], '\0') << "no NUL after the block of event " << id;
        t.assign(reinterpret_cast<const char*>(argv[i]), static_cast<size_t>(argl[i]));
      } else if (text) {
        t = reinterpret_cast<const char*>(argv[i]);
      }
      e.Texts.push_back(t);
    }
    self->Events.push_back(e);
    if (self->OnEvent) self->OnEvent(self->Events.back());
    return 0;
  }
};

inline std::string TEvent::Show() const {
  auto v = [&](size_t i) { return i < Values.size() ? std::to_string(Values[i]) : std::string("?"); };
  auto t = [&](size_t i) { return i < Texts.size() ? Texts[i] : std::string("?"); };
  switch (Id) {
    case tnevCommand: return "Command(" + v(0) + ")";
    case tnevConnected: return "Connected(" + v(0) + "," + t(1) + ")";
    case tnevConnectionStatus: return "Status(" + t(0) + "," + v(1) + "," + t(2) + ")";
    case tnevDataIn: return "DataIn(" + t(0) + ")";
    case tnevDisconnected: return "Disconnected(" + v(0) + "," + t(1) + ")";
    case tnevDo: return "Do(" + v(0) + ")";
    case tnevDont: return "Dont(" + v(0) + ")";
    case tnevError: return "Error(" + v(0) + "," + t(1) + ")";
    case tnevReadyToSend: return "ReadyToSend";
    case tnevSubOption: return "SubOption(" + Hex(t(0)) + ")";
    case tnevWill: return "Will(" + v(0) + ")";
    case tnevWont: return "Wont(" + v(0) + ")";
    default: return "Event" + std::to_string(Id);
  }
}

inline std::string Join(const std::vector<std::string>& v) {
  std::string out;
  for (const std::string& s : v) out += (out.empty() ? "" : " | ") + s;
  return out;
}

// Every engine test runs under a watchdog: a wait that never ends fails the run.
class TEngineTest : public ::testing::Test {
 private:
  TWatchdog FDog{WinsockTest::CurrentTestName(), 60};
};

}  // namespace TnTest
