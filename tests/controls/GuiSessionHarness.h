#pragma once

// The GUI session rig for the widget tests: dialogs answered from a script.

#include "parameters/SessionHarness.h"
#include "support/GuiSessionRig.h"
#include "support/GuiTestSupport.h"

namespace morvik::testing {

class GuiSessionHarness : public GuiSessionRig<ScriptedDialogs> {
public:
    explicit GuiSessionHarness(const std::string& fleet) : GuiSessionRig(fleet, options()) {}

    // Selects the units with these names, as the device list would hand them over.
    void select(const std::vector<std::string>& names) {
        GuiSessionRig::select(names);
        ASSERT_EQ(selection.units.size(), names.size());
    }

    // Runs the event loop until no reply has arrived for `quietMs`.
    void settle(int quietMs = 150) {
        if (!GuiSessionRig::settle(quietMs)) {
            ADD_FAILURE() << "the exchange did not settle";
        }
    }

private:
    static GuiSessionRigOptions options() {
        GuiSessionRigOptions options;
        options.session.seed = 99;
        return options;
    }
};

} // namespace morvik::testing
