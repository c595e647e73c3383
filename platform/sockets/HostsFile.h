// Internal: looking a name up in the text of a hosts file, the way the host's resolver reads
// its "files" source: one entry per line, an address then its names, '#' to the end of a line
// is a comment, names compare without regard to ASCII case. Pure text work, no I/O; any thread.
#pragma once
#include <cstdint>
#include <string_view>

namespace Winsock::Detail {

enum class THostsAnswer { haNotListed, haNoIPv4, haFound };

// haFound with the first IPv4 address listed for `name`; haNoIPv4 when the name is listed only
// with other addresses (IPv6); haNotListed otherwise.
THostsAnswer LookupHostsText(std::string_view text, std::string_view name, uint32_t& addrNetworkOrder);

// Four decimal parts of 0..255, nothing else: how a hosts file writes an IPv4 address.
bool ParseDottedQuad(std::string_view text, uint32_t& addrNetworkOrder);

}  // namespace Winsock::Detail
