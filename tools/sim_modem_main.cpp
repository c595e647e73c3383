// The simulated modem as a program, for the demo: a telnet console and a TFTP write receiver
// on a loopback address until it is stopped (SIGTERM or SIGINT).
//
// Usage: sim_modem [--address A] [--telnet-port P] [--tftp-port P] [--dir D]
//                  [--greeting old|target|foreign|silent]
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "SimModem.h"

namespace {
volatile sig_atomic_t gStop = 0;
void OnSignal(int) { gStop = 1; }
}  // namespace

int main(int argc, char** argv) {
  std::string address = "127.0.0.1", dir = ".", greeting = "old";
  int telnetPort = 23, tftpPort = 69;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string k = argv[i], v = argv[i + 1];
    if (k == "--address") address = v;
    else if (k == "--telnet-port") telnetPort = std::atoi(v.c_str());
    else if (k == "--tftp-port") tftpPort = std::atoi(v.c_str());
    else if (k == "--dir") dir = v;
    else if (k == "--greeting") greeting = v;
    else {
      std::fprintf(stderr, "unknown option %s\n", k.c_str());
      return 2;
    }
  }
  SimModem::TModem modem;
  modem.Greeting = greeting == "target"    ? SimModem::TargetFirmware()
                   : greeting == "foreign" ? SimModem::ForeignModem()
                   : greeting == "silent"  ? SimModem::Silent()
                                           : SimModem::OldFirmware();
  if (!modem.Start(address, static_cast<uint16_t>(telnetPort), static_cast<uint16_t>(tftpPort), dir)) {
    std::fprintf(stderr, "sim_modem: %s\n", modem.Failure().c_str());
    return 1;
  }
  signal(SIGTERM, OnSignal);
  signal(SIGINT, OnSignal);
  std::printf("sim_modem: telnet %s:%d, tftp %s:%d, files to %s\n", address.c_str(), telnetPort, address.c_str(),
              tftpPort, dir.c_str());
  std::fflush(stdout);
  while (!gStop) pause();
  modem.Stop();
  std::printf("sim_modem: %d telnet connection(s), %d file(s) stored\n", modem.TelnetConnections(),
              modem.TftpFilesStored());
  return 0;
}
