#include "NetUDPClient.h"

void TNetUDPClient::SendDatagram(const std::string& data) {
  TNetUDPBase::SendDatagram(FHost, static_cast<uint16_t>(FPort), data);
}
