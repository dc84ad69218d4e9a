#pragma once
// MX look-up through a given DNS server.

#include <string>
#include <vector>

// Asks DNSServer ("host" or "host:port"; an address or a name; empty: the system's
// servers) for the MX records of Domain and fills List with the exchanger names in order
// of preference (equal preferences keep the server's order). False on any failure: no
// answer within a few seconds, an unknown domain, a domain without MX records.
bool GetMailServers(const std::string& dnsServer, const std::string& domain,
                    std::vector<std::string>& list);
