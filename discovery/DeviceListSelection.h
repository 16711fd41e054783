#pragma once

#include "parameters/SessionPorts.h"

namespace morvik {

class CLeftView;

// The parameter operations' view of the device list: the selected rows, in display order.
class DeviceListSelection final : public UnitSelection {
public:
    explicit DeviceListSelection(const CLeftView& leftView) : leftView_(leftView) {}
    std::vector<DeviceRecord> selectedUnits() const override;

private:
    const CLeftView& leftView_;
};

} // namespace morvik
