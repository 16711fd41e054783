#pragma once

#include <QString>

namespace morvik {

// What the status bar says about a probe: that it runs, how many units have answered, and how
// many replies with a checksum error were listed without a message box of their own. A probe
// that ended without any answer has a message of its own (the networks probed and a hint about
// the firewall), so it is not described here.
struct ProbeProgress {
    bool probing = false;
    int unitsListed = 0;
    int checksumErrorsNotShown = 0;

    QString statusText() const;
};

} // namespace morvik
