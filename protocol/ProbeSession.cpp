#include "protocol/ProbeSession.h"

#include <algorithm>

namespace morvik {

ProbeSession::ProbeSession(Clock::duration window, int requests)
    : window_(std::max(window, Clock::duration::zero())), requests_(std::max(requests, 1)) {
    spacing_ = window_ / requests_;
}

void ProbeSession::start(Clock::time_point now) {
    start_ = now;
    end_ = now + window_;
    nextRequest_ = now;
    requestsLeft_ = requests_;
    requestsSent_ = 0;
    units_.clear();
    unitOfMac_.clear();
    elsewhereSeen_.clear();
    elsewhere_.clear();
}

bool ProbeSession::probeDue(Clock::time_point now) const {
    // The first request goes out even with an empty window.
    return requestsLeft_ > 0 && now >= nextRequest_ && (requestsSent_ == 0 || now < end_);
}

void ProbeSession::probeSent(Clock::time_point now) {
    ++requestsSent_;
    --requestsLeft_;
    // Spaced from the start, so that a late send does not push the later ones out of the window.
    nextRequest_ = std::max(now, start_ + spacing_ * requestsSent_);
}

ProbeSession::Clock::time_point ProbeSession::nextWakeUp() const {
    return requestsLeft_ > 0 ? std::min(nextRequest_, end_) : end_;
}

ProbeSession::Taken ProbeSession::take(std::span<const std::uint8_t> datagram,
                                       std::string_view sourceAddress) {
    return take(decodeProbeReply(datagram, sourceAddress));
}

ProbeSession::Taken ProbeSession::take(ProbeDecodeResult decoded) {
    if (decoded.verdict == ProbeVerdict::NotAReply) {
        return Taken::NotAReply;
    }
    const auto [found, added] = unitOfMac_.emplace(decoded.record.mac, units_.size());
    if (added) {
        const bool checksumOk = decoded.verdict == ProbeVerdict::ChecksumValid;
        units_.push_back({std::move(decoded.record), checksumOk});
        return Taken::Listed;
    }
    const DeviceRecord& listed = units_[found->second].record;
    if (listed.ip == decoded.record.ip) {
        return Taken::Repeat;
    }
    if (elsewhereSeen_.emplace(listed.mac, decoded.record.ip).second) {
        elsewhere_.push_back({listed.mac, listed.ip, decoded.record.ip});
    }
    return Taken::Elsewhere;
}

} // namespace morvik
