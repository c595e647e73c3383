// Internal to the per-host files of PeerHost: an endpoint to and from the BSD address structure,
// which both hosts' socket headers declare alike. Include after those headers.
#pragma once
#include "PeerHost.h"

namespace PeerHost {

inline sockaddr_in HostAddress(const TEndpoint& e) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(e.Address);
  a.sin_port = htons(e.Port);
  return a;
}

inline TEndpoint Endpoint(const sockaddr_in& a) { return TEndpoint{ntohl(a.sin_addr.s_addr), ntohs(a.sin_port)}; }

}  // namespace PeerHost
