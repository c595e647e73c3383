#include "NetUDPBase.h"

TNetUDPBase::TNetUDPBase(TComponent* owner) : TNetComponent(owner) {
  FBufferSize = 8192;
  FReceiveTimeout = -2;
}

TNetUDPBase::~TNetUDPBase() { SetActive(false); }

bool TNetUDPBase::Active() { return FDesignActive || (FSocketHandle && FSocketHandle->IsOpen()); }

void TNetUDPBase::SetActive(bool value) {
  if (value == Active()) return;
  if (LoadingOrDesigning())
    FDesignActive = value;
  else if (value)
    SocketHandle();
  else
    ReleaseSocketHandle();
}

void TNetUDPBase::SetBroadcastEnabled(bool value) {
  if (value == FBroadcastEnabled) return;
  FBroadcastEnabled = value;
  if (Active()) ApplyBroadcastFlag();
}

void TNetUDPBase::Loaded() {
  TNetComponent::Loaded();
  const bool stored = FDesignActive;
  FDesignActive = false;
  SetActive(stored);
}

TNetSocketHandle* TNetUDPBase::SocketHandle() {
  if (!FSocketHandle) FSocketHandle = std::make_unique<TNetSocketHandle>();
  if (!FSocketHandle->IsOpen()) {
    FSocketHandle->Open(Winsock::SOCK_DGRAM, 0);
    ApplyBroadcastFlag();
  }
  return FSocketHandle.get();
}

void TNetUDPBase::ReleaseSocketHandle() { FSocketHandle.reset(); }

void TNetUDPBase::ApplyBroadcastFlag() {
  const int32_t value = FBroadcastEnabled ? -1 : 0;
  SocketHandle()->SetOption(Winsock::SOL_SOCKET, Winsock::SO_BROADCAST, &value, sizeof value);
}

void TNetUDPBase::SendDatagram(const std::string& host, uint16_t port, const std::string& data) {
  SendDatagramBuffer(host, port, data.data(), static_cast<int>(data.size()));
}

void TNetUDPBase::SendDatagramBuffer(const std::string& host, uint16_t port, const void* buffer, int byteCount) {
  const std::string address = GStack().ResolveAddress(host);
  SocketHandle()->SendBytesTo(address, port, buffer, byteCount);
}

int TNetUDPBase::ReceiveDatagramBuffer(void* buffer, int length, std::string& peerIP, uint16_t& peerPort, int waitMs) {
  if (waitMs == -1) waitMs = FReceiveTimeout;
  TNetSocketHandle* handle = SocketHandle();
  if (!handle->WaitReadable(waitMs)) {
    peerIP.clear();
    peerPort = 0;
    return 0;
  }
  const int n = handle->ReceiveBytesFrom(buffer, length, peerIP, peerPort);
  GStack().CheckResult(n);
  return n;
}

std::string TNetUDPBase::ReceiveDatagram(std::string& peerIP, uint16_t& peerPort, int waitMs) {
  std::string data(static_cast<size_t>(FBufferSize > 0 ? FBufferSize : 0), '\0');
  const int n = ReceiveDatagramBuffer(data.data(), static_cast<int>(data.size()), peerIP, peerPort, waitMs);
  data.resize(static_cast<size_t>(n));
  return data;
}
