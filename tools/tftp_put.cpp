// Sends one file to a TFTP server with the product's client and prints how long the transfer
// took, in seconds, measured around the transfer alone (not the process start). Built for each
// host, so that the Windows build under Wine and the Linux build can be timed side by side
// against one server (bench/wine_vs_linux.sh).
// Usage: tftp_put HOST PORT LOCAL-FILE REMOTE-NAME [BLOCK-SIZE]
#include <chrono>
#include <cstdio>
#include <string>

#include "NetTrivialFTP.h"
#include "SysUtils.h"

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: tftp_put HOST PORT LOCAL-FILE REMOTE-NAME [BLOCK-SIZE]\n");
    return 2;
  }
  try {
    TNetTrivialFTP client(nullptr);
    client.SetHost(argv[1]);
    client.SetPort(StrToInt(argv[2]));
    if (argc > 5) client.SetRequestedBlockSize(StrToInt(argv[5]));
    client.SetReceiveTimeout(4000);
    const auto t0 = std::chrono::steady_clock::now();
    client.PutFile(argv[3], argv[4]);
    std::printf("%.4f\n", std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    return 0;
  } catch (const Exception& e) {
    std::fprintf(stderr, "tftp_put: %s\n", e.Message().c_str());
    return 1;
  }
}
