#include "discovery/DeviceListSelection.h"

#include "discovery/CLeftView.h"

namespace morvik {

std::vector<DeviceRecord> DeviceListSelection::selectedUnits() const {
    return leftView_.selectedUnits();
}

} // namespace morvik
