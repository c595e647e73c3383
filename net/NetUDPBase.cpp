#include "NetUDPBase.h"

TNetUDPBase::TNetUDPBase(TComponent* AOwner) : TNetComponent(AOwner) {
  FBufferSize = 8192;
  FReceiveTimeout = -2;
}

TNetUDPBase::~TNetUDPBase() { SetActive(false); }

bool TNetUDPBase::Active() { return FDesignActive || (FSocketHandle && FSocketHandle->IsOpen()); }

void TNetUDPBase::SetActive(bool AValue) {
  if (AValue == Active()) return;
  if (LoadingOrDesigning())
    FDesignActive = AValue;
  else if (AValue)
    SocketHandle();
  else
    ReleaseSocketHandle();
}

void TNetUDPBase::SetBroadcastEnabled(bool AValue) {
  if (AValue == FBroadcastEnabled) return;
  FBroadcastEnabled = AValue;
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

void TNetUDPBase::SendDatagram(const std::string& AHost, uint16_t APort, const std::string& AData) {
  SendDatagramBuffer(AHost, APort, AData.data(), static_cast<int>(AData.size()));
}

void TNetUDPBase::SendDatagramBuffer(const std::string& AHost, uint16_t APort, const void* ABuffer, int AByteCount) {
  const std::string address = GStack().ResolveAddress(AHost);
  SocketHandle()->SendBytesTo(address, APort, ABuffer, AByteCount);
}

int TNetUDPBase::ReceiveDatagramBuffer(void* ABuffer, int ALength, std::string& APeerIP, uint16_t& APeerPort,
                                       int AWaitMs) {
  if (AWaitMs == -1) AWaitMs = FReceiveTimeout;
  TNetSocketHandle* handle = SocketHandle();
  if (!handle->WaitReadable(AWaitMs)) {
    APeerIP.clear();
    APeerPort = 0;
    return 0;
  }
  const int n = handle->ReceiveBytesFrom(ABuffer, ALength, APeerIP, APeerPort);
  GStack().CheckResult(n);
  return n;
}

std::string TNetUDPBase::ReceiveDatagram(std::string& APeerIP, uint16_t& APeerPort, int AWaitMs) {
  std::string data(static_cast<size_t>(FBufferSize > 0 ? FBufferSize : 0), '\0');
  const int n = ReceiveDatagramBuffer(data.data(), static_cast<int>(data.size()), APeerIP, APeerPort, AWaitMs);
  data.resize(static_cast<size_t>(n));
  return data;
}
