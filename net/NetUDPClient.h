// The UDP endpoint with a destination (Host, Port) and a default wait (ReceiveTimeout) for the
// receive operations. Threads and ownership as TNetUDPBase.
#pragma once
#include "NetUDPBase.h"

class TNetUDPClient : public TNetUDPBase {
 public:
  using TNetUDPBase::SendDatagram;
  using TNetUDPBase::TNetUDPBase;

  const std::string& Host() const { return FHost; }
  void SetHost(const std::string& v) { FHost = v; }
  int32_t Port() const { return FPort; }
  void SetPort(int32_t v) { FPort = v; }
  int32_t ReceiveTimeout() const { return FReceiveTimeout; }
  void SetReceiveTimeout(int32_t v) { FReceiveTimeout = v; }

  // To Host:Port.
  void SendDatagram(const std::string& data);
};
