#pragma once

#include "protocol/ByteOrder.h"
#include "protocol/ParameterFrame.h"
#include "sim/FleetFile.h"
#include "sim/ProductModel.h"
#include "sim/UnitReply.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace morvik::sim {

// What a unit keeps across restarts: its login and every parameter value, by address.
struct UnitState {
    std::string loginId;
    std::string password;
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> values;

    friend bool operator==(const UnitState&, const UnitState&) = default;
};

// One simulated unit: its values and login, and the answers it gives to datagrams. It owns
// no socket; the simulator delivers what arrives for it and sends what it answers.
class SimulatedUnit {
public:
    SimulatedUnit(UnitSpec spec, std::shared_ptr<const ProductModel> model);

    // Initial values of the fleet file (text through the value types, or raw bytes), then the
    // login parameters from the unit's ID and password. False with `error` for a value that
    // the description cannot take.
    bool applyInitialValues(std::string& error);

    const UnitSpec& spec() const { return spec_; }
    const std::string& macText() const { return macText_; }
    ByteOrder byteOrder() const { return order_; }
    const std::string& loginId() const { return loginId_; }
    const std::string& password() const { return password_; }
    const ProductModel& model() const { return *model_; }

    std::vector<std::uint8_t> probeReply() const;

    struct Response {
        std::vector<std::vector<std::uint8_t>> datagrams; // in the order they are to be sent
        bool stateChanged = false;                        // values or login changed: time to save
        std::string note;                                 // what happened, for the verbose log
    };
    // Answers one datagram that arrived for this unit (a probe, or a parameter frame by its
    // own address or by broadcast naming its MAC). Anything it does not accept gets no answer.
    Response handleDatagram(std::span<const std::uint8_t> datagram);

    std::optional<std::vector<std::uint8_t>> value(std::string_view address) const;
    // The value as the tool's value column would show it.
    std::string valueText(std::string_view address) const;

    UnitState state() const;
    // Takes a saved state; values of unknown addresses or of the wrong size are left out and
    // counted in the result.
    int restoreState(const UnitState& state);

private:
    Response answerFrame(const ParsedFrame& frame);
    Response answerRead(const ParsedFrame& frame, const ReplyHeader& header);
    Response answerWrite(const ParsedFrame& frame, const ReplyHeader& header);
    std::vector<std::uint8_t> reply(const ReplyHeader& header, Command command,
                                    std::span<const std::uint8_t> body) const;
    void storeLogin(const std::string& loginId, const std::string& password);
    void setValueFromText(int index, std::string_view text);

    UnitSpec spec_;
    std::shared_ptr<const ProductModel> model_;
    std::string macText_;
    ByteOrder order_;
    std::string loginId_;
    std::string password_;
    std::vector<std::vector<std::uint8_t>> values_; // by parameter index, each `size` bytes
};

} // namespace morvik::sim
