#pragma once

// The session rig on a real Qt event loop, behind the real parameter list: the simulator
// answers from a timer on the GUI thread, replies arrive through a socket notifier, the pauses
// between units are the painting pacer's. Shared by the widget tests and the GUI benchmarks.

#include "controls/CParamListCtrl.h"
#include "support/SessionRig.h"
#include "view/PaintingPacer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QTimer>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace morvik::testing {

// The application of a test or benchmark program, on the offscreen platform unless one runs.
inline QApplication& guiApplication() {
    if (auto* running = qobject_cast<QApplication*>(QCoreApplication::instance())) {
        return *running;
    }
    static int argc = 1;
    static char name[] = "morvik-gui-tests";
    static char* argv[] = {name, nullptr};
    static QApplication* application = [] {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        return new QApplication(argc, argv);
    }();
    return *application;
}

struct GuiSessionRigOptions {
    SessionRigOptions session;
    // Whether the rig shows the parameter list over the session's table.
    bool withList = true;
    QSize listSize{640, 480};
    // Whether the simulator answers from the start; a benchmark may start it later.
    bool simulatorRunning = true;
};

template <class DialogsT>
class GuiSessionRig : public SessionRig<DialogsT, PaintingPacer> {
    using Rig = SessionRig<DialogsT, PaintingPacer>;

public:
    explicit GuiSessionRig(const std::string& fleetJson, GuiSessionRigOptions options = {})
        : Rig(afterApplication(fleetJson), options.session) {
        if (options.withList) {
            list = std::make_unique<CParamListCtrl>(this->table);
            list->setUnitLookup([this](int parameter) {
                const ParameterRow* row = this->session().currentDescription().row(parameter);
                return row != nullptr ? row->unit : std::string();
            });
            list->resize(options.listSize);
        }
        simulatorTimer_.setInterval(1);
        QObject::connect(&simulatorTimer_, &QTimer::timeout,
                         [this] { this->simulator().pollOnce(0); });
        if (options.simulatorRunning) {
            simulatorTimer_.start();
        }
        notifier_ =
            std::make_unique<QSocketNotifier>(this->endpoint().descriptor(), QSocketNotifier::Read);
        this->pacer.holdDuringPauses(notifier_.get());
        // One datagram per notification, as the parameter pane's socket delivers them.
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] {
            std::vector<std::uint8_t> buffer(kReceiveBufferSize);
            if (const auto received = this->endpoint().receiveFrom(buffer)) {
                lastReply.restart();
                ++repliesReceived;
                if (onReply) {
                    onReply({buffer.data(), buffer.data() + received->length});
                }
                this->session().handleUnitReply({buffer.data(), received->length});
            }
        });
        lastReply.start();
    }

    void startSimulatorTimer() { simulatorTimer_.start(); }
    void stopSimulatorTimer() { simulatorTimer_.stop(); }

    // Runs the event loop until no reply has arrived for `quietMs`; false when replies still
    // came after `limitMs`.
    bool settle(int quietMs = 150, int limitMs = 15000) {
        int seen = -1;
        QElapsedTimer quiet;
        QElapsedTimer total;
        total.start();
        while (total.elapsed() < limitMs) {
            if (seen != repliesReceived) {
                seen = repliesReceived;
                quiet.start();
            }
            if (quiet.elapsed() > quietMs) {
                return true;
            }
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        return false;
    }

    std::unique_ptr<CParamListCtrl> list;
    int repliesReceived = 0;
    QElapsedTimer lastReply;
    std::function<void(const std::vector<std::uint8_t>&)> onReply;

private:
    // The application exists before the rig's first Qt object.
    static const std::string& afterApplication(const std::string& fleetJson) {
        guiApplication();
        return fleetJson;
    }

    QTimer simulatorTimer_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace morvik::testing
