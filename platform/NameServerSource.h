#pragma once

#include <string>
#include <vector>

namespace platform {

// Where this system keeps the addresses of its name servers: the static
// "nameserver" lines of a resolv.conf, then the servers that DHCP leases
// handed out (systemd-networkd and dhclient lease files), if any.
class NameServerSource {
public:
    std::string resolvConfPath = "/etc/resolv.conf";
    std::vector<std::string> leaseDirectories = {"/run/systemd/netif/leases", "/var/lib/dhcp",
                                                 "/var/lib/dhclient", "/var/lib/NetworkManager"};

    // One entry per "nameserver" line, in file order.
    std::vector<std::string> StaticServers() const;
    // The servers named by lease files ("DNS=" lines, "option
    // domain-name-servers" statements), in file order, each once.
    std::vector<std::string> DhcpServers() const;
};

}  // namespace platform
