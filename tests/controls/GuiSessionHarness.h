#pragma once

// A parameter session behind the real parameter list, on a real Qt event loop: the simulator
// answers from a timer on the same thread, replies arrive through a socket notifier, the pauses
// between units are the painting pacer's. Dialogs are answered from a script.

#include "GuiTestSupport.h"
#include "controls/CParamListCtrl.h"
#include "parameters/SessionHarness.h"
#include "parameters/gui/PaintingPacer.h"

#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QTimer>

namespace morvik::testing {

class GuiSessionHarness {
public:
    explicit GuiSessionHarness(const std::string& fleet)
        : simulator_(simulatorOptions(data_.directory())),
          endpoint_(*UdpEndpoint::bind("0.0.0.0", 0)) {
        guiApplication();
        std::string error;
        const auto parsed = sim::parseFleet(fleet, error);
        EXPECT_TRUE(parsed.has_value()) << error;
        if (parsed) {
            EXPECT_TRUE(simulator_.start(*parsed, error)) << error;
        }
        settings_.devicePort = simulator_.port();
        settings_.broadcastAddress = "127.255.255.255";
        settings_.hostAddress = "127.0.0.1";
        transport_ = std::make_unique<UdpTransport>(endpoint_, settings_);
        session_ = std::make_unique<ParameterSession>(
            ParameterSession::Ports{dialogs, selection, table, classFilter, *transport_, pacer},
            data_.directory(), 99);
        list = std::make_unique<CParamListCtrl>(table);
        list->setUnitLookup([this](int parameter) {
            const ParameterRow* row = session_->currentDescription().row(parameter);
            return row != nullptr ? row->unit : std::string();
        });
        list->resize(640, 480);

        simulatorTimer_.setInterval(1);
        QObject::connect(&simulatorTimer_, &QTimer::timeout, [this] { simulator_.pollOnce(0); });
        simulatorTimer_.start();
        notifier_ =
            std::make_unique<QSocketNotifier>(endpoint_.descriptor(), QSocketNotifier::Read);
        pacer.holdDuringPauses(notifier_.get());
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] {
            std::vector<std::uint8_t> buffer(kReceiveBufferSize);
            if (const auto received = endpoint_.receiveFrom(buffer)) {
                ++repliesReceived;
                session_->handleUnitReply({buffer.data(), received->length});
            }
        });
    }

    ParameterSession& session() { return *session_; }
    sim::Simulator& simulator() { return simulator_; }
    const ScratchData& data() const { return data_; }
    const EndpointSettings& settings() const { return settings_; }

    // Selects the units with these names, as the device list would hand them over.
    void select(const std::vector<std::string>& names) {
        if (probed_.empty()) {
            probed_ = probe();
        }
        selection.units = unitsNamed(probed_, names);
        ASSERT_EQ(selection.units.size(), names.size());
    }

    // Runs the event loop until no reply has arrived for `quietMs`.
    void settle(int quietMs = 150) {
        int seen = -1;
        QElapsedTimer quiet;
        QElapsedTimer total;
        total.start();
        while (total.elapsed() < 15000) {
            if (seen != repliesReceived) {
                seen = repliesReceived;
                quiet.start();
            }
            if (quiet.elapsed() > quietMs) {
                return;
            }
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        ADD_FAILURE() << "the exchange did not settle";
    }

    std::string cell(const std::string& address) {
        return session_->getValueText(session_->findParameter(address));
    }

    std::string unitValue(const std::string& name, const std::string& address) const {
        for (std::size_t unit = 0; unit < simulator_.unitCount(); ++unit) {
            if (simulator_.unit(unit).spec().name == name) {
                return simulator_.unit(unit).valueText(address);
            }
        }
        ADD_FAILURE() << "no unit " << name;
        return {};
    }

    ScriptedDialogs dialogs;
    ListedUnits selection;
    ParameterTable table;
    ClassFilterEntries classFilter;
    PaintingPacer pacer;
    std::unique_ptr<CParamListCtrl> list;
    int repliesReceived = 0;

private:
    static sim::SimulatorOptions simulatorOptions(const std::string& dataDirectory) {
        sim::SimulatorOptions options;
        options.dataDirectory = dataDirectory;
        options.port = 0;
        return options;
    }

    std::vector<DeviceRecord> probe() {
        auto probeSocket = UdpEndpoint::bind("0.0.0.0", 0);
        probeSocket->enableBroadcast();
        const auto request = buildProbeRequest();
        probeSocket->sendTo(request, settings_.devicePort, settings_.broadcastAddress);
        std::vector<DeviceRecord> found;
        std::vector<std::uint8_t> buffer(kProbeReplyCapacity);
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 1000 && found.size() < simulator_.unitCount()) {
            simulator_.pollOnce(5);
            while (const auto received = probeSocket->receiveFrom(buffer)) {
                const auto decoded =
                    decodeProbeReply({buffer.data(), received->length}, received->sourceAddress);
                if (decoded.verdict != ProbeVerdict::NotAReply) {
                    found.push_back(decoded.record);
                }
            }
        }
        return found;
    }

    ScratchData data_;
    sim::Simulator simulator_;
    UdpEndpoint endpoint_;
    EndpointSettings settings_;
    std::unique_ptr<UdpTransport> transport_;
    std::unique_ptr<ParameterSession> session_;
    QTimer simulatorTimer_;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::vector<DeviceRecord> probed_;
};

} // namespace morvik::testing
