#pragma once
// The connection check made before an item is given up: can a public host
// name be resolved? While it runs, the dial-up setting "EnableAutodial" is
// held at zero (so the look-up cannot start a dial-up connection) and put
// back afterwards, when its registry key and value exist.

#include <string>

// LARKPOST_CHECK_HOST when set and not empty, else a well-known web host.
std::string ConnectionCheckHost();

// True when HostName resolves to an address.
bool IsInternetReachable(const std::string& hostName);
