#include "protocol/NoAnswerHint.h"

namespace morvik {

std::string probedNetworksText(const std::vector<BroadcastRoute>& routes, std::uint16_t port) {
    const std::string portText = " port " + std::to_string(port);
    std::string text;
    bool throughInterfaces = false;
    for (const BroadcastRoute& route : routes) {
        if (!text.empty()) {
            text += ", ";
        }
        if (route.network) {
            text += route.network->name + " " + addressWithPrefix(*route.network);
            throughInterfaces = true;
        } else {
            text += route.destination + portText;
        }
    }
    if (throughInterfaces) {
        text += " (to " + routes.front().destination + portText + " on each)";
    }
    return text;
}

NoAnswerHint noAnswerHint(std::string_view what, const std::vector<BroadcastRoute>& routes,
                          std::uint16_t port) {
    const std::string portText = std::to_string(port);
    NoAnswerHint hint;
    hint.headline = "No unit answered " + std::string(what) + ".";
    hint.networks = "Probed: " + probedNetworksText(routes, port) + ".";
    // Units answer from their own addresses, which no outgoing flow to a broadcast address
    // matches: a firewall that lets in only established flows drops every reply.
    hint.advice = "If units are connected, a host firewall may drop their replies: let in UDP "
                  "from port " +
                  portText + " of the units, for example";
    hint.rules = {
        {"ufw", "sudo ufw allow proto udp from any port " + portText},
        {"firewalld", "sudo firewall-cmd --permanent --add-source-port=" + portText +
                          "/udp && sudo firewall-cmd --reload"},
        {"nftables", "sudo nft insert rule inet filter input udp sport " + portText + " accept"},
    };
    return hint;
}

std::string NoAnswerHint::text() const {
    std::string lines = headline + " " + networks + "\n" + advice + "\n";
    for (const auto& [tool, command] : rules) {
        lines += "  " + tool + ":" + std::string(tool.size() < 10 ? 10 - tool.size() : 1, ' ') +
                 command + "\n";
    }
    return lines;
}

} // namespace morvik
