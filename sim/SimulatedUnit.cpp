#include "sim/SimulatedUnit.h"

#include "description/LoginParameters.h"
#include "description/ValueTypes.h"
#include "protocol/ParameterEntries.h"
#include "protocol/ProbeCodec.h"
#include "protocol/ReadReplyBody.h"

#include <algorithm>
#include <map>

namespace morvik::sim {

namespace {

// A reply that the tool's 100-byte probe area cannot hold is discarded there.
constexpr std::size_t kOversizedProbeReply = 128;
constexpr std::size_t kMaxValueLength = 0xFFFF; // the value length field has two bytes

// Puts whole entries into bodies of at most `maxBody` bytes; always at least one body, so
// that a read whose entries were all unknown still gets its (empty) reply.
std::vector<std::vector<std::uint8_t>>
packEntries(const std::vector<std::vector<std::uint8_t>>& entries, std::size_t maxBody) {
    std::vector<std::vector<std::uint8_t>> bodies(1);
    for (const auto& entry : entries) {
        if (!bodies.back().empty() && bodies.back().size() + entry.size() > maxBody) {
            bodies.emplace_back();
        }
        bodies.back().insert(bodies.back().end(), entry.begin(), entry.end());
    }
    return bodies;
}

std::string_view firstComponent(std::string_view address) {
    return address.substr(0, address.find('.'));
}

std::string textOfValue(std::span<const std::uint8_t> bytes) {
    std::string text;
    for (auto byte : bytes) {
        if (byte == 0) {
            break;
        }
        text += static_cast<char>(byte);
    }
    return text;
}

bool isRequestCommand(std::uint8_t command) {
    return command == static_cast<std::uint8_t>(Command::ReadRequest) ||
           command == static_cast<std::uint8_t>(Command::WriteRequest) ||
           command == static_cast<std::uint8_t>(Command::RebootRequest);
}

} // namespace

SimulatedUnit::SimulatedUnit(UnitSpec spec, std::shared_ptr<const ProductModel> model)
    : spec_(std::move(spec)),
      model_(model ? std::move(model) : std::make_shared<const ProductModel>()),
      macText_(formatMacText(spec_.mac)), order_(byteOrderForProduct(spec_.productId)),
      loginId_(spec_.loginId), password_(spec_.password) {
    values_.resize(static_cast<std::size_t>(model_->parameterCount()));
    for (int i = 0; i < model_->parameterCount(); ++i) {
        values_[static_cast<std::size_t>(i)].assign(
            static_cast<std::size_t>(std::max(0, model_->row(i).size)), 0);
    }
}

bool SimulatedUnit::applyInitialValues(std::string& error) {
    for (const auto& [address, text] : spec_.values) {
        const int index = model_->findParameter(address);
        if (index < 0) {
            error = macText_ + ": no parameter " + address + " in its description";
            return false;
        }
        const auto bytes = encodeValue(model_->row(index), model_->definedValues(index),
                                       model_->enumeration(index), text, order_);
        if (!bytes) {
            error = macText_ + ": \"" + text + "\" is no value of " + address + " (" +
                    model_->row(index).typeName + ": " +
                    refusalReason(model_->row(index), *bytes.refusal) + "); give it in rawValues";
            return false;
        }
        auto& stored = values_[static_cast<std::size_t>(index)];
        const std::size_t size = stored.size();
        stored = bytes.bytes;
        stored.resize(size, 0); // a description may give a type more or fewer bytes
    }
    for (const auto& [address, bytes] : spec_.rawValues) {
        const int index = model_->findParameter(address);
        if (index < 0) {
            error = macText_ + ": no parameter " + address + " in its description";
            return false;
        }
        auto& stored = values_[static_cast<std::size_t>(index)];
        if (bytes.size() != stored.size()) {
            error = macText_ + ": " + address + " takes " + std::to_string(stored.size()) +
                    " bytes, the raw value has " + std::to_string(bytes.size());
            return false;
        }
        stored = bytes;
    }
    storeLogin(loginId_, password_);
    return true;
}

void SimulatedUnit::setValueFromText(int index, std::string_view text) {
    auto& stored = values_[static_cast<std::size_t>(index)];
    const std::size_t size = stored.size();
    stored.assign(text.begin(), text.end());
    stored.resize(size, 0);
}

// The login parameters show the login the unit checks.
void SimulatedUnit::storeLogin(const std::string& loginId, const std::string& password) {
    loginId_ = loginId;
    password_ = password;
    for (int i = 0; i < model_->parameterCount(); ++i) {
        const std::string& address = model_->row(i).address;
        if (isLoginIdAddress(address)) {
            setValueFromText(i, loginId_);
        } else if (isLoginPasswordAddress(address)) {
            setValueFromText(i, password_);
        }
    }
}

std::vector<std::uint8_t> SimulatedUnit::probeReply() const {
    ProbeReplyFields fields;
    fields.mac = spec_.mac;
    fields.longHeader = spec_.addressMode != 1;
    fields.addressMode = static_cast<std::uint8_t>(spec_.addressMode);
    fields.productId = static_cast<std::uint8_t>(spec_.productId);
    fields.major = static_cast<std::uint8_t>(spec_.major);
    fields.minor = static_cast<std::uint8_t>(spec_.minor);
    fields.name = spec_.name;
    auto datagram = buildProbeReply(fields);
    if (spec_.faults.badChecksum) {
        const std::size_t nameLength = std::min<std::size_t>(spec_.name.size(), 255);
        const std::size_t at = (fields.longHeader ? 11 : 10) + 4 + nameLength;
        if (at + 2 <= datagram.size()) {
            const ByteOrder order = byteOrderForProduct(spec_.productId);
            const std::uint32_t sum = readUnsigned(std::span(datagram).subspan(at, 2), 2, order);
            writeUnsigned(datagram.data() + at, (sum + 1) & 0xFFFF, 2, order);
        }
    }
    if (spec_.faults.oversizedProbeReply && datagram.size() < kOversizedProbeReply) {
        datagram.resize(kOversizedProbeReply, 0);
    }
    return datagram;
}

SimulatedUnit::Response SimulatedUnit::handleDatagram(std::span<const std::uint8_t> datagram) {
    const auto probe = buildProbeRequest();
    if (std::ranges::equal(datagram, probe)) {
        return {{probeReply()}, false, "probe"};
    }
    const auto frame = parseFrame(datagram, order_);
    if (!frame) {
        return {{}, false, "ignored: not a frame"};
    }
    return answerFrame(*frame);
}

std::vector<std::uint8_t> SimulatedUnit::reply(const ReplyHeader& header, Command command,
                                               std::span<const std::uint8_t> body) const {
    return buildUnitReply(header, command, body, order_, spec_.faults.badChecksum);
}

SimulatedUnit::Response SimulatedUnit::answerFrame(const ParsedFrame& frame) {
    if (frame.headerKind == HeaderKind::Long && frame.mac != spec_.mac) {
        return {{}, false, "ignored: long header for " + formatMacText(frame.mac)};
    }
    // Only requests are answered: a reply that strays here must not start a ping-pong.
    if (!isRequestCommand(frame.command)) {
        return {{}, false, "ignored: command " + std::to_string(frame.command)};
    }
    if (frame.declaredBodyLength < 0 || !frame.bodyComplete || !frame.checksumMatches()) {
        return {{}, false, "ignored: truncated frame or checksum mismatch"};
    }
    if (spec_.faults.noAnswer) {
        return {{}, false, "ignored: noAnswer fault"};
    }
    ReplyHeader header;
    header.kind = frame.headerKind;
    header.mac = spec_.mac;
    header.addressMode = static_cast<std::uint8_t>(spec_.addressMode);
    header.loginId = frame.loginId;
    header.password = frame.password;
    header.requestId = frame.requestId;
    if (spec_.faults.errorReply) {
        return {{reply(header, Command::ErrorReply, {})}, false, "ErrorReply (errorReply fault)"};
    }
    if (frame.loginId != loginId_ || frame.password != password_) {
        return {{reply(header, Command::ErrorReply, {})}, false, "ErrorReply: wrong login"};
    }
    switch (static_cast<Command>(frame.command)) {
    case Command::ReadRequest:
        return answerRead(frame, header);
    case Command::WriteRequest:
        return answerWrite(frame, header);
    default:
        return {{reply(header, Command::RebootAck, {})}, false, "RebootAck"};
    }
}

SimulatedUnit::Response SimulatedUnit::answerRead(const ParsedFrame& frame,
                                                  const ReplyHeader& header) {
    const auto requested = parseRequestEntries(frame.body, order_);
    if (!requested) {
        return {{}, false, "ignored: read request with malformed entries"};
    }
    const std::size_t overhead = replyOverhead(header);
    const std::size_t maxBody = kMaxReplyDatagram - overhead;
    const int count = model_->parameterCount();
    std::vector<std::vector<std::uint8_t>> entries;
    int skipped = 0;

    auto addSingle = [&](int index) {
        const auto& address = model_->row(index).address;
        const auto components = addressComponents(address);
        const auto& value = values_[static_cast<std::size_t>(index)];
        if (components.empty() || entrySize(components.size(), value.size()) > maxBody) {
            ++skipped; // cannot travel in one datagram
            return;
        }
        std::vector<std::uint8_t> entry;
        appendEntryBytes(entry, components, value, order_);
        entries.push_back(std::move(entry));
    };
    auto addRange = [&](std::string_view rangeAddress, int first, int end) {
        std::vector<std::uint8_t> value;
        for (int i = first; i < end; ++i) {
            const auto& bytes = values_[static_cast<std::size_t>(i)];
            value.insert(value.end(), bytes.begin(), bytes.end());
        }
        std::vector<std::uint8_t> entry;
        appendEntryBytes(entry, addressComponents(rangeAddress), value, order_);
        entries.push_back(std::move(entry));
    };

    const bool readAll =
        requested->size() == 1 && (*requested)[0].address == "0" && (*requested)[0].value.empty();
    std::string note;
    if (readAll) {
        std::size_t total = 0;
        for (const auto& value : values_) {
            total += value.size();
        }
        if (total <= kMaxValueLength && entrySize(1, total) <= maxBody) {
            addRange("0", 0, count);
            note = "read all as range 0";
        } else {
            // Rows by the first address component: a class that is contiguous, has no other
            // rows elsewhere and fits one datagram travels as the range "N.0".
            std::map<std::string, int, std::less<>> rowsPerClass;
            for (int i = 0; i < count; ++i) {
                const std::string_view address = model_->row(i).address;
                if (address.find('.') != std::string_view::npos) {
                    ++rowsPerClass[std::string(firstComponent(address))];
                }
            }
            for (int i = 0; i < count;) {
                const std::string_view address = model_->row(i).address;
                const std::string_view key = firstComponent(address);
                int end = i;
                std::size_t bytes = 0;
                while (end < count && model_->row(end).address.find('.') != std::string::npos &&
                       firstComponent(model_->row(end).address) == key) {
                    bytes += values_[static_cast<std::size_t>(end)].size();
                    ++end;
                }
                const std::string rangeAddress = std::string(key) + ".0";
                const auto components = addressComponents(rangeAddress);
                // The tool rebuilds the range's text from the component bytes.
                const bool sameText =
                    components.size() == 2 && std::to_string(components[0]) == key;
                const auto found = rowsPerClass.find(key);
                if (end > i && sameText && found != rowsPerClass.end() &&
                    found->second == end - i && bytes <= kMaxValueLength &&
                    entrySize(2, bytes) <= maxBody) {
                    addRange(rangeAddress, i, end);
                } else {
                    for (int row = i; row < std::max(end, i + 1); ++row) {
                        addSingle(row);
                    }
                }
                i = std::max(end, i + 1);
            }
            note = "read all in class ranges and single entries";
        }
    } else {
        for (const auto& entry : *requested) {
            if (isRangeAddress(entry.address)) {
                for (int index : model_->rangeMembers(entry.address)) {
                    addSingle(index);
                }
            } else if (const int index = model_->findParameter(entry.address); index >= 0) {
                addSingle(index);
            } else {
                ++skipped;
            }
        }
        note = "group read of " + std::to_string(requested->size()) + " entries";
    }
    Response response;
    for (const auto& body : packEntries(entries, maxBody)) {
        response.datagrams.push_back(reply(header, Command::ReadReply, body));
    }
    response.note = note + ": " + std::to_string(response.datagrams.size()) + " ReadReply, " +
                    std::to_string(skipped) + " skipped";
    return response;
}

SimulatedUnit::Response SimulatedUnit::answerWrite(const ParsedFrame& frame,
                                                   const ReplyHeader& header) {
    const auto entries = parseRequestEntries(frame.body, order_);
    if (!entries) {
        // A unit takes a write whole or not at all.
        return {{}, false, "ignored: write request with malformed entries"};
    }
    std::string newLoginId = loginId_;
    std::string newPassword = password_;
    int stored = 0;
    int skipped = 0;
    for (const auto& entry : *entries) {
        const int index = model_->findParameter(entry.address);
        auto* value = index >= 0 ? &values_[static_cast<std::size_t>(index)] : nullptr;
        // A value of another length than the parameter's would shift everything a later
        // range read carries, so it is refused.
        if (value == nullptr || entry.value.size() != value->size()) {
            ++skipped;
            continue;
        }
        value->assign(entry.value.begin(), entry.value.end());
        ++stored;
        if (isLoginIdAddress(entry.address)) {
            newLoginId = textOfValue(entry.value);
        } else if (isLoginPasswordAddress(entry.address)) {
            newPassword = textOfValue(entry.value);
        }
    }
    Response response;
    // The acknowledgement still carries the login that the unit accepted the write with.
    response.datagrams.push_back(reply(header, Command::WriteAck, {}));
    const bool loginChanged = newLoginId != loginId_ || newPassword != password_;
    if (loginChanged) {
        storeLogin(newLoginId, newPassword);
    }
    response.stateChanged = stored > 0;
    response.note = "WriteAck: " + std::to_string(stored) + " stored, " + std::to_string(skipped) +
                    " skipped" + (loginChanged ? ", login changed" : "");
    return response;
}

std::optional<std::vector<std::uint8_t>> SimulatedUnit::value(std::string_view address) const {
    const int index = model_->findParameter(address);
    if (index < 0) {
        return std::nullopt;
    }
    return values_[static_cast<std::size_t>(index)];
}

std::string SimulatedUnit::valueText(std::string_view address) const {
    const int index = model_->findParameter(address);
    if (index < 0) {
        return {};
    }
    return valueToText(model_->row(index), model_->definedValues(index), model_->enumeration(index),
                       values_[static_cast<std::size_t>(index)], order_);
}

UnitState SimulatedUnit::state() const {
    UnitState state;
    state.loginId = loginId_;
    state.password = password_;
    for (int i = 0; i < model_->parameterCount(); ++i) {
        state.values.emplace_back(model_->row(i).address, values_[static_cast<std::size_t>(i)]);
    }
    return state;
}

int SimulatedUnit::restoreState(const UnitState& state) {
    int leftOut = 0;
    for (const auto& [address, bytes] : state.values) {
        const int index = model_->findParameter(address);
        if (index < 0 || bytes.size() != values_[static_cast<std::size_t>(index)].size()) {
            ++leftOut;
            continue;
        }
        values_[static_cast<std::size_t>(index)] = bytes;
    }
    storeLogin(state.loginId, state.password);
    return leftOut;
}

} // namespace morvik::sim
