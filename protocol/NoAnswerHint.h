#pragma once

#include "protocol/Broadcast.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace morvik {

// The networks a broadcast went out on, for people: "a0 10.77.0.1/24, b0 10.88.0.1/24 (to
// 255.255.255.255 port 2002 on each)", or "127.255.255.255 port 2002".
std::string probedNetworksText(const std::vector<BroadcastRoute>& routes, std::uint16_t port);

// What to tell someone when no unit answered: the networks probed, and that a host firewall
// which keeps only established flows drops every reply, with a rule that lets the replies in
// for ufw, firewalld and nftables. The desktop program and the command line tool say the same.
struct NoAnswerHint {
    std::string headline; // "No unit answered the probe."
    std::string networks; // "Probed: a0 10.77.0.1/24 (to 255.255.255.255 port 2002 on each)."
    std::string advice;   // what a firewall must let in
    std::vector<std::pair<std::string, std::string>> rules; // tool, one-line command

    // As lines of text, each ending with '\n'.
    std::string text() const;
};

NoAnswerHint noAnswerHint(std::string_view what, const std::vector<BroadcastRoute>& routes,
                          std::uint16_t port);

} // namespace morvik
