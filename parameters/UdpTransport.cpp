#include "parameters/UdpTransport.h"

namespace morvik {

bool UdpTransport::isOnLocalSubnet(const std::string& address) {
    const auto now = std::chrono::steady_clock::now();
    if (!basis_ || now - basisTakenAt_ >= kBasisLifetime) {
        basis_ = currentLocalSubnetBasis(settings_.hostAddress);
        basisTakenAt_ = now;
    }
    return isInAnySubnet(unitAddressFromText(address), *basis_);
}

} // namespace morvik
