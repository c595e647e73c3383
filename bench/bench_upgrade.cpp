// The whole upgrade through the program, against the bare transfer client, in one run:
//  * start-up to the first painted welcome page (headless),
//  * the upload of a 4 MiB "TEPatch.bin" through the program's upgrade page (bar drawn at
//    every block) and through a bare TNetTrivialFTP, alternating, to the same tftpd-hpa on
//    127.79.0.1:69 (the program's fixed port: run as root),
//  * the process's peak memory at the end.
// Usage: bench_upgrade [rounds]   (default 5)
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "Display.h"
#include "Unit1.h"

extern char** environ;

namespace {

double NowMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

long PeakKiB() {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = argc > 1 ? std::atoi(argv[1]) : 5;
  const std::string address = "127.79.0.1";
  char tmpl[] = "/tmp/bench-upgrade-XXXXXX";
  std::string dir = mkdtemp(tmpl);
  std::string serverDir = dir + "/server";
  mkdir(serverDir.c_str(), 0777);
  if (chdir(dir.c_str()) != 0) return 1;
  {
    std::string bytes(4 << 20, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 2654435761u) >> 24);
    std::ofstream("TEPatch.bin", std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  std::string bind = address + ":69";
  const char* args[] = {"/usr/sbin/in.tftpd", "-L",   "-c", "-s", "-u", "root", "-a", bind.c_str(),
                        serverDir.c_str(),    nullptr};
  pid_t server = -1;
  if (posix_spawn(&server, args[0], nullptr, nullptr, const_cast<char**>(args), environ) != 0) {
    std::fprintf(stderr, "cannot start %s\n", args[0]);
    return 1;
  }
  usleep(300000);

  SetDisplay(CreateHeadlessDisplay());
  double t0 = NowMs();
  InitializeApplication();
  TForm1* form = Application->CreateForm<TForm1>();
  Form1 = form;
  form->Show();
  Application->ProcessMessages();  // the first paint of the welcome page
  double startup = NowMs() - t0;

  std::vector<double> program, bare;
  for (int r = 0; r < rounds; ++r) {
    TNetTrivialFTP client(nullptr);
    client.SetHost(address);
    client.SetPort(69);
    client.SetReceiveTimeout(4000);
    client.SetRequestedBlockSize(1024);
    double b0 = NowMs();
    client.PutFile("TEPatch.bin", "bare.bin");
    bare.push_back(NowMs() - b0);

    form->UiWizard1->SetActivePage(form->UiWizardWelcomePage1);
    form->Edit1->SetText(address);
    double p0 = NowMs();
    form->UiWizard1->SetActivePage(form->UiWizardInteriorPage2);  // its OnPage runs the upload
    program.push_back(NowMs() - p0);
    if (form->UiWizard1->ActivePageIndex() != 6) {
      std::fprintf(stderr, "the program's upload failed\n");
      return 1;
    }
  }
  long peak = PeakKiB();
  kill(server, SIGTERM);
  waitpid(server, nullptr, 0);
  std::system(("rm -rf '" + dir + "'").c_str());

  double pm = Median(program), bm = Median(bare);
  std::printf("start-up to the first painted welcome page: %.1f ms\n", startup);
  std::printf("4 MiB upload, median of %d: program %.1f ms, bare client %.1f ms, ratio %.3f\n", rounds, pm, bm,
              pm / bm);
  std::printf("peak memory (VmHWM) of this process: %.1f MB\n", static_cast<double>(peak) / 1024.0);
  return 0;
}
