#include "guikit/CDeviceSocket.h"

namespace morvik {

CDeviceSocket::CDeviceSocket(QObject* parent) : QObject(parent) {}

bool CDeviceSocket::create() {
    if (endpoint_.isOpen()) {
        return true;
    }
    auto bound = UdpEndpoint::bind("0.0.0.0", 0);
    if (!bound) {
        return false;
    }
    endpoint_ = std::move(*bound);
    endpoint_.setReceiveBufferSize(kReceiveBufferBytes);
    notifier_ = new QSocketNotifier(endpoint_.descriptor(), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &CDeviceSocket::socketData,
            Qt::DirectConnection);
    return true;
}

} // namespace morvik
