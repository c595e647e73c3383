#include "NetSocketHandle.h"

#include "NetComponent.h"

TNetSocketHandle::TNetSocketHandle() {
  ClearState(true);
  FWaitList.reserve(1);
}

TNetSocketHandle::~TNetSocketHandle() { Close(); }

void TNetSocketHandle::Open(int ASocketType, int AProtocol) {
  Close();
  FSocketId = GStack().NewSocket(ASocketType, AProtocol);
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

int TNetSocketHandle::ReceiveBytesFrom(void* ABuffer, int ALength, std::string& AFromAddress, uint16_t& AFromPort) {
  return GStack().RecvFrom(FSocketId, ABuffer, ALength, 0, AFromAddress, AFromPort);
}

bool TNetSocketHandle::WaitReadable(int AWaitMs) {
  if (!FIsOpen) throw ENetConnClosedGracefully("Connection Closed Gracefully.");
  if (TNetAntiFreezeBase::InEffect()) {
    // Slices of IdleTimeOut, so that the anti-freeze runs between them.
    const int slice = TNetAntiFreezeBase::CurrentAntiFreeze()->IdleTimeOut();
    if (AWaitMs == -2) {
      while (!WaitReadable(slice)) {
      }
      return true;
    }
    if (AWaitMs > slice) {
      if (WaitReadable(AWaitMs - slice)) return true;
      AWaitMs = slice;
    }
  }
  FWaitList.clear();
  FWaitList.push_back(FSocketId);
  const bool readable = GStack().Select(&FWaitList, nullptr, AWaitMs, nullptr) == 1;
  TNetAntiFreezeBase::Pulse(!readable);
  return readable;
}

void TNetSocketHandle::SendBytesTo(const std::string& AAddress, uint16_t APort, const void* ABuffer, int ACount) {
  TNetStack& stack = GStack();
  const int sent = stack.SendTo(FSocketId, ABuffer, ACount, 0, AAddress, APort);
  if (sent == Winsock::SOCKET_ERROR && stack.WSAGetLastError() == Winsock::WSAEMSGSIZE)
    throw ENetPackageSizeTooBig("Package Size Too Big.");
  stack.CheckResult(sent);
  if (sent != ACount) throw ENetNotAllBytesSent("Not all bytes sent.");
}

void TNetSocketHandle::SetOption(int ALevel, int AOptName, const void* AValue, int AValueLength) {
  GStack().CheckResult(GStack().SetSockOpt(FSocketId, ALevel, AOptName, AValue, AValueLength));
}

void TNetSocketHandle::ClearState(bool AResetLocal) {
  FIsOpen = false;
  FSocketId = Winsock::INVALID_SOCKET;
  if (AResetLocal) {
    FIP.clear();
    FPort = 0;
  }
  FPeerIP.clear();
  FPeerPort = 0;
}
