// Proxy servers for the tests, as kinds of the server harness: Debian's tinyproxy for plain
// forwarding and squid with basic authentication.
#pragma once

#include "servers.h"

namespace KvrTest {

// The one account that the squid instances accept; the password is UTF-8 with a byte above 127.
constexpr char kProxyUser[] = "kvruser";
constexpr char kProxyPassword[] = "Pr0xy-s\xc3\xab" "cret";

const ServerKind& Tinyproxy(); // log: tinyproxy.log (one line per request, with its URL)
const ServerKind& Squid();     // basic authentication; log: access.log
// Writes the password file of a squid server (kProxyUser, kProxyPassword); before it starts.
bool WriteProxyPasswords(const Server& squid);

} // namespace KvrTest
