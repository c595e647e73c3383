#include "NetSocketHandle.h"

#include "NetComponent.h"

TNetSocketHandle::TNetSocketHandle() {
  ClearState(true);
  FWaitList.reserve(1);
}

TNetSocketHandle::~TNetSocketHandle() { Close(); }

void TNetSocketHandle::Open(int socketType, int protocol) {
  Close();
  FSocketId = GStack().NewSocket(socketType, protocol);
  FIsOpen = true;
}

void TNetSocketHandle::Close() {
  if (!FIsOpen) return;
  FIsOpen = false;
  // Close also runs inside destructors, where nothing may escape; the results are ignored anyway.
  try {
    GStack().Shutdown(FSocketId, Winsock::SD_SEND);
  } catch (const Exception&) {
  }
  try {
    GStack().CloseSocket(FSocketId);
  } catch (const Exception&) {
  }
}

int TNetSocketHandle::ReceiveBytesFrom(void* buffer, int length, std::string& fromAddress, uint16_t& fromPort) {
  return GStack().RecvFrom(FSocketId, buffer, length, 0, fromAddress, fromPort);
}

bool TNetSocketHandle::WaitReadable(int waitMs) {
  if (!FIsOpen) throw ENetConnClosedGracefully("Connection Closed Gracefully.");
  if (TNetAntiFreezeBase::InEffect()) {
    // Slices of IdleTimeOut, so that the anti-freeze runs between them.
    const int slice = TNetAntiFreezeBase::CurrentAntiFreeze()->IdleTimeOut();
    if (waitMs == -2) {
      while (!WaitReadable(slice)) {
      }
      return true;
    }
    if (waitMs > slice) {
      if (WaitReadable(waitMs - slice)) return true;
      waitMs = slice;
    }
  }
  FWaitList.clear();
  FWaitList.push_back(FSocketId);
  const bool readable = GStack().Select(&FWaitList, nullptr, waitMs, nullptr) == 1;
  TNetAntiFreezeBase::Pulse(!readable);
  return readable;
}

void TNetSocketHandle::SendBytesTo(const std::string& address, uint16_t port, const void* buffer, int count) {
  TNetStack& stack = GStack();
  const int sent = stack.SendTo(FSocketId, buffer, count, 0, address, port);
  if (sent == Winsock::SOCKET_ERROR && stack.WSAGetLastError() == Winsock::WSAEMSGSIZE)
    throw ENetPackageSizeTooBig("Package Size Too Big.");
  stack.CheckResult(sent);
  if (sent != count) throw ENetNotAllBytesSent("Not all bytes sent.");
}

void TNetSocketHandle::SetOption(int level, int optName, const void* value, int valueLength) {
  GStack().CheckResult(GStack().SetSockOpt(FSocketId, level, optName, value, valueLength));
}

void TNetSocketHandle::ClearState(bool resetLocal) {
  FIsOpen = false;
  FSocketId = Winsock::INVALID_SOCKET;
  if (resetLocal) {
    FIP.clear();
    FPort = 0;
  }
  FPeerIP.clear();
  FPeerPort = 0;
}
