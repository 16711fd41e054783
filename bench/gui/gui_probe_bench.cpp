// Probe of a large fleet in the desktop program: 700 simulated units on loopback answer one
// probe at once; the device list must list every one. Prints, for each of 20 probes, how many
// units were listed and how long it took from the first reply listed to the last, then the
// medians. The simulator runs on its own thread, as a separate program would.
#include "app/CMainFrame.h"
#include "controls/CDeviceTreeList.h"
#include "discovery/CLeftView.h"
#include "sim/FleetFile.h"
#include "sim/Simulator.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

constexpr int kUnits = 700;
constexpr int kRuns = 20;

const char* const kFleet = R"({"units": [], "generate": [{
    "template": {"name": "bench-{n}", "productId": 61, "version": "3.10",
                 "loginId": "admin", "password": "quorvane"},
    "count": 700, "ipBase": "127.80.0.1", "macBase": "02:4D:56:10:00:01"}]})";

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: gui_probe_bench DEMO_DATA_DIR\n");
        return 2;
    }
    morvik::sim::SimulatorOptions options;
    options.dataDirectory = argv[1];
    options.port = 0;
    morvik::sim::Simulator simulator(options);
    std::string error;
    const auto fleet = morvik::sim::parseFleet(kFleet, error);
    if (!fleet || !simulator.start(*fleet, error)) {
        std::fprintf(stderr, "simulator: %s\n", error.c_str());
        return 1;
    }
    std::atomic<bool> stop{false};
    std::thread simulatorThread([&] { simulator.run(stop); });

    morvik::CMainFrame frame;
    morvik::EndpointSettings settings;
    settings.devicePort = simulator.port();
    settings.broadcastAddress = "127.255.255.255";
    settings.hostAddress = "127.0.0.1";
    frame.leftView().setEndpointSettings(settings);
    frame.initialUpdate(QDir::currentPath());
    frame.show();
    if (!QTest::qWaitForWindowExposed(&frame)) {
        std::fprintf(stderr, "the window was never shown\n");
        return 1;
    }

    morvik::CLeftView& leftView = frame.leftView();
    QElapsedTimer clock;
    qint64 firstRow = -1;
    qint64 lastRow = -1;
    QObject::connect(&leftView, &morvik::CLeftView::unitListed, [&](int rows) {
        const qint64 now = clock.nsecsElapsed();
        if (rows == 1) {
            firstRow = now;
        }
        lastRow = now;
    });

    int complete = 0;
    std::vector<double> spans;
    std::vector<double> firsts;
    for (int run = 1; run <= kRuns; ++run) {
        firstRow = lastRow = -1;
        clock.start();
        leftView.probe();
        // The probe window, and a little longer for the last rows to be painted, in a real
        // event loop: QTest's waits sleep between rounds of events.
        QEventLoop loop;
        QObject::connect(&leftView, &morvik::CLeftView::probingChanged, &loop, [&](bool probing) {
            if (!probing) {
                QTimer::singleShot(100, &loop, &QEventLoop::quit);
            }
        });
        loop.exec();
        const int listed = leftView.treeList().topLevelItemCount();
        const double span = firstRow >= 0 ? static_cast<double>(lastRow - firstRow) / 1e6 : 0;
        const double first = firstRow >= 0 ? static_cast<double>(firstRow) / 1e6 : 0;
        std::printf("run %2d: %d of %d listed, first row %.1f ms after Probe, last row %.1f ms "
                    "after the first\n",
                    run, listed, kUnits, first, span);
        std::fflush(stdout);
        complete += listed == kUnits ? 1 : 0;
        spans.push_back(span);
        firsts.push_back(first);
    }
    std::printf("complete probes: %d of %d\n", complete, kRuns);
    std::printf("median first row after Probe: %.1f ms\n", median(firsts));
    std::printf("median first to last row: %.1f ms\n", median(spans));
    stop = true;
    simulatorThread.join();
    return complete >= kRuns - 1 ? 0 : 1;
}
