#pragma once

// The parameter list and its session against the in-process simulator on loopback, for the
// GUI benchmarks: a scratch copy of the demo data, the simulator answering from a timer on the
// GUI thread, replies through a socket notifier, the painting pacer between units.

#include "controls/CParamListCtrl.h"
#include "parameters/ClassFilter.h"
#include "parameters/ParameterSession.h"
#include "parameters/ParameterTable.h"
#include "parameters/UdpTransport.h"
#include "parameters/gui/PaintingPacer.h"
#include "protocol/ProbeCodec.h"
#include "sim/FleetFile.h"
#include "sim/Simulator.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace morvik::bench {

inline QApplication& guiApplication() {
    static int argc = 1;
    static char name[] = "morvik-gui-bench";
    static char* argv[] = {name, nullptr};
    static QApplication* application = [] {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        return new QApplication(argc, argv);
    }();
    return *application;
}

class ScratchCopy {
public:
    ScratchCopy() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "morvik-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        path_ = pattern;
        for (const auto& entry : std::filesystem::directory_iterator(MORVIK_DEMO_DATA_DIR)) {
            std::filesystem::copy(entry.path(), path_ / entry.path().filename());
        }
    }
    ~ScratchCopy() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchCopy(const ScratchCopy&) = delete;
    ScratchCopy& operator=(const ScratchCopy&) = delete;
    std::string directory() const { return path_.string(); }

private:
    std::filesystem::path path_;
};

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

class FixedSelection final : public UnitSelection {
public:
    std::vector<DeviceRecord> selectedUnits() const override { return units; }
    std::vector<DeviceRecord> units;
};

// `count` Orion16 units answering with the demo login.
inline std::string orionFleet(int count) {
    return R"({"generate": [{"template": {"name": "bench-{n}", "productId": 61, "version": "3.10",
        "loginId": "admin", "password": "quorvane", "values": {"0.1.1": "bench-{n}"}},
        "count": )" +
           std::to_string(count) + R"(, "ipBase": "127.81.0.1", "macBase": "02:4D:56:20:00:01"}]})";
}

class GuiPaneRig {
public:
    explicit GuiPaneRig(const std::string& fleetJson, bool withList = true,
                        int receiveBufferBytes = 8 * 1024 * 1024)
        : simulator_(options(scratch_.directory())), endpoint_(*UdpEndpoint::bind("0.0.0.0", 0)) {
        guiApplication();
        std::string error;
        const auto fleet = sim::parseFleet(fleetJson, error);
        if (!fleet || !simulator_.start(*fleet, error)) {
            throw std::runtime_error("simulator: " + error);
        }
        settings_.devicePort = simulator_.port();
        settings_.broadcastAddress = "127.255.255.255";
        settings_.hostAddress = "127.0.0.1";
        // Replies wait in the socket while a read of many units pauses between them.
        if (receiveBufferBytes > 0) {
            endpoint_.setReceiveBufferSize(receiveBufferBytes);
        }
        transport_ = std::make_unique<UdpTransport>(endpoint_, settings_);
        session_ = std::make_unique<ParameterSession>(
            ParameterSession::Ports{dialogs, selection, table, classFilter, *transport_, pacer},
            scratch_.directory(), 7);
        if (withList) {
            list = std::make_unique<CParamListCtrl>(table);
            list->resize(640, 700);
            list->show();
        }
        simulatorTimer_.setInterval(1);
        QObject::connect(&simulatorTimer_, &QTimer::timeout, [this] { simulator_.pollOnce(0); });
        notifier_ =
            std::make_unique<QSocketNotifier>(endpoint_.descriptor(), QSocketNotifier::Read);
        pacer.holdDuringPauses(notifier_.get());
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] {
            std::vector<std::uint8_t> buffer(kReceiveBufferSize);
            if (const auto received = endpoint_.receiveFrom(buffer)) {
                lastReply.restart();
                ++repliesReceived;
                if (onReply) {
                    onReply({buffer.data(), buffer.data() + received->length});
                }
                session_->handleUnitReply({buffer.data(), received->length});
            }
        });
        lastReply.start();
    }

    ParameterSession& session() { return *session_; }
    sim::Simulator& simulator() { return simulator_; }

    void startSimulatorTimer() { simulatorTimer_.start(); }
    void stopSimulatorTimer() { simulatorTimer_.stop(); }

    void selectAll() {
        auto probeSocket = UdpEndpoint::bind("0.0.0.0", 0);
        probeSocket->enableBroadcast();
        probeSocket->sendTo(buildProbeRequest(), settings_.devicePort, settings_.broadcastAddress);
        std::vector<std::uint8_t> buffer(kProbeReplyCapacity);
        QElapsedTimer waited;
        waited.start();
        selection.units.clear();
        while (waited.elapsed() < 3000 && selection.units.size() < simulator_.unitCount()) {
            simulator_.pollOnce(5);
            while (const auto received = probeSocket->receiveFrom(buffer)) {
                const auto decoded =
                    decodeProbeReply({buffer.data(), received->length}, received->sourceAddress);
                if (decoded.verdict != ProbeVerdict::NotAReply) {
                    selection.units.push_back(decoded.record);
                }
            }
        }
    }

    // Runs the event loop until no reply came for `quietMs`.
    void settle(int quietMs = 300) {
        QElapsedTimer total;
        total.start();
        int seen = -1;
        QElapsedTimer quiet;
        while (total.elapsed() < 60000) {
            if (seen != repliesReceived) {
                seen = repliesReceived;
                quiet.start();
            }
            if (quiet.elapsed() > quietMs) {
                return;
            }
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        }
    }

    AnsweringDialogs dialogs;
    FixedSelection selection;
    ParameterTable table;
    ClassFilterEntries classFilter;
    PaintingPacer pacer;
    std::unique_ptr<CParamListCtrl> list;
    int repliesReceived = 0;
    QElapsedTimer lastReply;
    std::function<void(const std::vector<std::uint8_t>&)> onReply;

private:
    static sim::SimulatorOptions options(const std::string& directory) {
        sim::SimulatorOptions result;
        result.dataDirectory = directory;
        result.port = 0;
        return result;
    }

    ScratchCopy scratch_;
    sim::Simulator simulator_;
    UdpEndpoint endpoint_;
    EndpointSettings settings_;
    std::unique_ptr<UdpTransport> transport_;
    std::unique_ptr<ParameterSession> session_;
    QTimer simulatorTimer_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace morvik::bench
