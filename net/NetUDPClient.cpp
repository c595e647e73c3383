#include "NetUDPClient.h"

void TNetUDPClient::SendDatagram(const std::string& AData) {
  TNetUDPBase::SendDatagram(FHost, static_cast<uint16_t>(FPort), AData);
}
