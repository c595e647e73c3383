// The simulated modem as a program, for the demo: a telnet console and a TFTP write receiver
// on a loopback address until it is stopped (SIGTERM or SIGINT). The line "sim_modem: telnet
// ..." on standard output says that both ports are listening.
//
// Usage: sim_modem [--address A] [--telnet-port P] [--tftp-port P] [--dir D]
//                  [--greeting old|target|foreign|silent] [--ack-delay-ms N]
#include <signal.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "SimModem.h"

int main(int argc, char** argv) {
  std::string address = "127.0.0.1", dir = ".", greeting = "old";
  int telnetPort = 23, tftpPort = 69, ackDelayMs = 0;
  for (int i = 1; i < argc; i += 2) {
    std::string k = argv[i];
    if (i + 1 == argc) {
      std::fprintf(stderr, "sim_modem: %s needs a value\n", k.c_str());
      return 2;
    }
    std::string v = argv[i + 1];
    if (k == "--address")
      address = v;
    else if (k == "--telnet-port")
      telnetPort = std::atoi(v.c_str());
    else if (k == "--tftp-port")
      tftpPort = std::atoi(v.c_str());
    else if (k == "--dir")
      dir = v;
    else if (k == "--greeting")
      greeting = v;
    else if (k == "--ack-delay-ms")
      ackDelayMs = std::atoi(v.c_str());
    else {
      std::fprintf(stderr, "unknown option %s\n", k.c_str());
      return 2;
    }
  }
  // Blocked before the modem's threads start, so they inherit the mask and the signal waits
  // in sigwait below, however early it comes.
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGTERM);
  sigaddset(&stop, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stop, nullptr);
  SimModem::TModem modem;
  modem.Greeting = greeting == "target"    ? SimModem::TargetFirmware()
                   : greeting == "foreign" ? SimModem::ForeignModem()
                   : greeting == "silent"  ? SimModem::Silent()
                                           : SimModem::OldFirmware();
  modem.AckDelayMs = static_cast<uint32_t>(std::max(ackDelayMs, 0));
  if (!modem.Start(address, static_cast<uint16_t>(telnetPort), static_cast<uint16_t>(tftpPort), dir)) {
    std::fprintf(stderr, "sim_modem: %s\n", modem.Failure().c_str());
    return 1;
  }
  std::printf("sim_modem: telnet %s:%d, tftp %s:%d, files to %s\n", address.c_str(), telnetPort, address.c_str(),
              tftpPort, dir.c_str());
  std::fflush(stdout);
  int signal = 0;
  sigwait(&stop, &signal);
  modem.Stop();
  std::printf("sim_modem: %d telnet connection(s), %d file(s) stored\n", modem.TelnetConnections(),
              modem.TftpFilesStored());
  return 0;
}
