#pragma once

// The shared GUI session rig for the benchmarks: every question answered Yes with the demo
// login, messages printed to stderr, the parameter list shown.

#include "support/GuiSessionRig.h"

#include <cstdio>
#include <string>

namespace morvik::bench {

using testing::guiApplication;

class AnsweringDialogs final : public Dialogs {
public:
    void showMessage(std::string_view text, std::string_view caption) override {
        std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(caption.size()), caption.data(),
                     static_cast<int>(text.size()), text.data());
    }
    bool confirm(std::string_view, std::string_view, std::string_view, std::string_view) override {
        return true;
    }
    std::optional<Credentials> promptCredentials(std::string_view) override {
        return Credentials{"admin", "quorvane"};
    }
};

// `count` Orion16 units answering with the demo login.
inline std::string orionFleet(int count) {
    return R"({"generate": [{"template": {"name": "bench-{n}", "productId": 61, "version": "3.10",
        "loginId": "admin", "password": "quorvane", "values": {"0.1.1": "bench-{n}"}},
        "count": )" +
           std::to_string(count) + R"(, "ipBase": "127.81.0.1", "macBase": "02:4D:56:20:00:01"}]})";
}

// The simulator answers only from startSimulatorTimer() on. Replies wait in the socket while a
// read of many units pauses between them: `receiveBufferBytes` (0 keeps the system's).
class GuiPaneRig : public testing::GuiSessionRig<AnsweringDialogs> {
public:
    explicit GuiPaneRig(const std::string& fleetJson, bool withList = true,
                        int receiveBufferBytes = 8 * 1024 * 1024)
        : GuiSessionRig(fleetJson, options(withList, receiveBufferBytes)) {
        if (list) {
            list->show();
        }
    }

    // A read of many units settles later than a test's: the quiet may come after a minute.
    bool settle(int quietMs = 300) { return GuiSessionRig::settle(quietMs, 60000); }

private:
    static testing::GuiSessionRigOptions options(bool withList, int receiveBufferBytes) {
        testing::GuiSessionRigOptions options;
        options.session.seed = 7;
        options.session.receiveBufferBytes = receiveBufferBytes;
        options.withList = withList;
        options.listSize = {640, 700};
        options.simulatorRunning = false;
        return options;
    }
};

} // namespace morvik::bench
