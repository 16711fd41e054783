// Units that misbehave on purpose, for bench/cli_bounds.sh: they answer the probe like any unit
// and then flood the tool with junk, repeat their answers or stay silent, on loopback only.
//
//   hostile_peer UNIT... [--misbehave-ms MS] [--lifetime-ms MS]
//   UNIT: NAME:LAST:BEHAVIOUR, the unit at 127.77.9.LAST with the MAC 02:4D:56:00:09:LAST
//         (LAST in hex), BEHAVIOUR one of ack, flood, repeat, silent.
//
// Prints "ready port=P" once the units listen on port P, then answers until the lifetime ends.

#include "support/CraftedPeers.h"

#include <cstdio>
#include <iostream>
#include <map>
#include <sstream>

int main(int argc, char** argv) {
    using morvik::testing::Behaviour;
    const std::map<std::string, Behaviour> behaviours{{"ack", Behaviour::Ack},
                                                      {"flood", Behaviour::Flood},
                                                      {"repeat", Behaviour::RepeatedAck},
                                                      {"silent", Behaviour::Silent}};
    std::vector<morvik::testing::CraftedUnit> units;
    std::chrono::milliseconds misbehaviour{8000};
    std::chrono::milliseconds lifetime{600000};
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if ((argument == "--misbehave-ms" || argument == "--lifetime-ms") && i + 1 < argc) {
            const std::chrono::milliseconds value{std::stol(argv[++i])};
            (argument == "--misbehave-ms" ? misbehaviour : lifetime) = value;
            continue;
        }
        std::istringstream fields(argument);
        std::string name;
        std::string last;
        std::string behaviour;
        if (!std::getline(fields, name, ':') || !std::getline(fields, last, ':') ||
            !std::getline(fields, behaviour) || behaviours.count(behaviour) == 0) {
            std::cerr << "hostile_peer: bad unit " << argument << '\n';
            return 2;
        }
        const auto number = static_cast<std::uint8_t>(std::stoi(last, nullptr, 16));
        units.push_back(
            {name, "127.77.9." + std::to_string(number), number, behaviours.at(behaviour)});
    }
    morvik::testing::CraftedPeers peers(units, misbehaviour, lifetime);
    if (!peers.ready()) {
        std::cerr << "hostile_peer: " << peers.error() << '\n';
        return 1;
    }
    std::cout << "ready port=" << peers.port() << std::endl;
    peers.waitUntilDone();
    return 0;
}
