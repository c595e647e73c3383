// A scripted TCP peer on loopback, for the telnet tests' failure cases that real proxies and
// servers cannot be made to produce: odd proxy replies, replies one byte at a time, data glued
// to a reply, resets.
//
// Usage: tn_scripted_peer STEP...
// Listens on 127.0.0.1 at a free port, prints "PORT <n>" on stdout, accepts one connection and
// runs the steps in order:
//   expect:N      read exactly N bytes
//   expect-line   read up to and including an empty line ("\r\n\r\n" or "\n\n")
//   send:HEX      send the bytes given in hex
//   text:TEXT     send TEXT, with \r \n \\ and \xHH escapes
//   drip:HEX      send the bytes one at a time, 20 ms apart
//   sleep:MS      pause
//   hold          read until the client closes
//   close         close the connection
//   reset         close the connection with a reset
// At the end it prints "RECV <hex of every byte received>" and exits 0 (1 on a failed step).
// A watchdog ends it after 30 s whatever happens, so a test can never hang on it.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::string Received;

int Hex(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string FromHex(const std::string& h) {
  std::string out;
  for (size_t i = 0; i + 1 < h.size(); i += 2) out += static_cast<char>(Hex(h[i]) * 16 + Hex(h[i + 1]));
  return out;
}

std::string Unescape(const std::string& t) {
  std::string out;
  for (size_t i = 0; i < t.size(); ++i) {
    if (t[i] != '\\' || i + 1 == t.size()) {
      out += t[i];
      continue;
    }
    const char c = t[++i];
    if (c == 'r')
      out += '\r';
    else if (c == 'n')
      out += '\n';
    else if (c == 'x' && i + 2 < t.size()) {
      out += static_cast<char>(Hex(t[i + 1]) * 16 + Hex(t[i + 2]));
      i += 2;
    } else
      out += c;
  }
  return out;
}

// Reads once (up to 10 s); returns the count, 0 at the end, -1 on error or time-out.
ssize_t ReadSome(int fd, char* buf, size_t n) {
  pollfd p{fd, POLLIN, 0};
  if (::poll(&p, 1, 10000) != 1) return -1;
  const ssize_t r = ::recv(fd, buf, n, 0);
  if (r > 0) Received.append(buf, static_cast<size_t>(r));
  return r;
}

bool SendAll(int fd, const std::string& s) {
  size_t done = 0;
  while (done < s.size()) {
    const ssize_t r = ::send(fd, s.data() + done, s.size() - done, MSG_NOSIGNAL);
    if (r <= 0) return false;
    done += static_cast<size_t>(r);
  }
  return true;
}

bool HasBlankLine() {
  return Received.find("\r\n\r\n") != std::string::npos || Received.find("\n\n") != std::string::npos;
}

void PrintReceived() {
  std::printf("RECV ");
  for (unsigned char c : Received) std::printf("%02x", c);
  std::printf("\n");
  std::fflush(stdout);
}

// Listens on a free loopback port, says which, and accepts one connection; -1 on failure.
int AcceptOne() {
  const int ls = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof sa;
  if (ls < 0 || ::bind(ls, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || ::listen(ls, 4) != 0 ||
      ::getsockname(ls, reinterpret_cast<sockaddr*>(&sa), &len) != 0) {
    std::perror("listen");
    return -1;
  }
  std::printf("PORT %u\n", ntohs(sa.sin_port));
  std::fflush(stdout);
  return ::accept(ls, nullptr, nullptr);
}

bool Expect(int fd, size_t count) {
  char buf[4096];
  const size_t want = Received.size() + count;
  while (Received.size() < want) {
    const size_t room = std::min(sizeof buf, want - Received.size());
    if (ReadSome(fd, buf, room) <= 0) return false;
  }
  return true;
}

bool ExpectLine(int fd) {
  char c;
  while (!HasBlankLine())
    if (ReadSome(fd, &c, 1) <= 0) return false;
  return true;
}

bool Drip(int fd, const std::string& bytes) {
  for (char c : bytes) {
    if (!SendAll(fd, std::string(1, c))) return false;
    ::usleep(20000);
  }
  return true;
}

void Hold(int fd) {
  char buf[4096];
  while (ReadSome(fd, buf, sizeof buf) > 0) {
  }
}

}  // namespace

int main(int argc, char** argv) {
  ::alarm(30);
  const int fd = AcceptOne();
  if (fd < 0) return 1;
  int status = 0;
  bool open = true;
  for (int i = 1; i < argc && status == 0; ++i) {
    const std::string step = argv[i];
    const size_t colon = step.find(':');
    const std::string verb = step.substr(0, colon);
    const std::string arg = colon == std::string::npos ? std::string() : step.substr(colon + 1);
    bool ok = true;
    if (verb == "expect") {
      ok = Expect(fd, std::strtoul(arg.c_str(), nullptr, 10));
    } else if (verb == "expect-line") {
      ok = ExpectLine(fd);
    } else if (verb == "send" || verb == "text") {
      ok = SendAll(fd, verb == "send" ? FromHex(arg) : Unescape(arg));
    } else if (verb == "drip") {
      ok = Drip(fd, FromHex(arg));
    } else if (verb == "sleep") {
      ::usleep(static_cast<useconds_t>(std::strtoul(arg.c_str(), nullptr, 10)) * 1000);
    } else if (verb == "hold") {
      Hold(fd);
    } else if (verb == "close" || verb == "reset") {
      if (verb == "reset") {
        linger l{1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
      }
      ::close(fd);
      open = false;
      break;
    } else {
      std::fprintf(stderr, "unknown step: %s\n", step.c_str());
      ok = false;
    }
    if (!ok) status = 1;
  }
  if (open) ::close(fd);
  PrintReceived();
  return status;
}
