// The UDP endpoint component: owns one IPv4 datagram socket (through TNetSocketHandle), opened
// on demand, and offers blocking send and receive of whole datagrams with a wait limited in
// milliseconds. Wait values: -2 without limit, 0 look once, positive milliseconds; as an
// argument of the receive operations -1 stands for ReceiveTimeout.
//
// Threads: the user-interface thread; every operation blocks it. Ownership: the component
// owns its socket handle from the first need until Active is set false or it is destroyed.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "NetComponent.h"
#include "NetSocketHandle.h"

class TNetUDPBase : public TNetComponent {
 public:
  explicit TNetUDPBase(TComponent* owner);
  ~TNetUDPBase() override;

  // Reads true while a socket is open (or, during loading, when Active was stored true).
  virtual bool Active();
  void SetActive(bool value);
  int32_t BufferSize() const { return FBufferSize; }
  void SetBufferSize(int32_t v) { FBufferSize = v; }
  bool BroadcastEnabled() const { return FBroadcastEnabled; }
  void SetBroadcastEnabled(bool value);

  // Creates the handle if absent and opens a socket if none is open, with the broadcast flag.
  virtual TNetSocketHandle* SocketHandle();
  virtual void ReleaseSocketHandle();
  virtual void ApplyBroadcastFlag();

  void SendDatagram(const std::string& host, uint16_t port, const std::string& data);
  void SendDatagramBuffer(const std::string& host, uint16_t port, const void* buffer, int byteCount);
  // 0 with an empty peer when the wait ran out (no exception); a datagram longer than
  // length raises ENetSocketError 10040.
  int ReceiveDatagramBuffer(void* buffer, int length, std::string& peerIP, uint16_t& peerPort, int waitMs = -1);
  // Receives into a text of BufferSize bytes, cut to what arrived.
  std::string ReceiveDatagram(std::string& peerIP, uint16_t& peerPort, int waitMs = -1);

 protected:
  void Loaded() override;
  bool LoadingOrDesigning() const { return (ComponentState() & (csLoading | csDesigning)) != 0; }
  // The handle as it is, without creating or opening anything.
  TNetSocketHandle* CurrentSocketHandle() const { return FSocketHandle.get(); }

  // Published by TNetUDPClient.
  std::string FHost;
  int32_t FPort = 0;
  int32_t FReceiveTimeout = -2;

 private:
  std::unique_ptr<TNetSocketHandle> FSocketHandle;
  bool FDesignActive = false;
  int32_t FBufferSize = 8192;
  bool FBroadcastEnabled = false;
};
