// A read of 100 Orion16 units from the parameter pane: the pauses between units keep their
// length, the window goes on painting during them, and once the last reply is in every value
// is shown. The window is asked to repaint every 16 ms, as a desktop asks an uncovered window;
// the figure is the longest time between two paints while the read runs.

#include "GuiPaneRig.h"

#include <QEvent>
#include <QStatusBar>
#include <algorithm>
#include <cstdio>

namespace {

using namespace morvik;
using namespace morvik::bench;

class PaintClock final : public QObject {
public:
    explicit PaintClock(QElapsedTimer& clock) : clock_(clock) {}
    std::vector<qint64> paints;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            paints.push_back(clock_.elapsed());
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QElapsedTimer& clock_;
};

} // namespace

int main(int argc, char** argv) {
    // Arguments: the number of units, and "system-buffer" to keep the system's default socket
    // receive buffer instead of the enlarged one.
    const int units = argc > 1 ? std::atoi(argv[1]) : 100;
    const bool systemBuffer = argc > 2 && std::string(argv[2]) == "system-buffer";
    guiApplication();
    GuiPaneRig rig(orionFleet(units), true, systemBuffer ? 0 : 8 * 1024 * 1024);
    QStatusBar statusBar;
    statusBar.resize(640, 24);
    statusBar.show();
    rig.pacer.setProgress(
        [&] {
            // The session tells which unit was sent last through its target records.
            int sent = 0;
            for (int i = 0; i < rig.session().targetCount(); ++i) {
                sent += rig.session().targetUnit(i).requestSent ? 1 : 0;
            }
            return QStringLiteral("Reading unit %1 of %2...")
                .arg(sent)
                .arg(rig.session().targetCount());
        },
        [&](const QString& text) { statusBar.showMessage(text); });

    rig.startSimulatorTimer();
    rig.selectAll();
    if (static_cast<int>(rig.selection.units.size()) != units) {
        std::fprintf(stderr, "only %zu of %d units answered the probe\n",
                     rig.selection.units.size(), units);
        return 1;
    }
    // What one unit shows on its own: the reference for the values of all of them.
    const std::vector<DeviceRecord> everyUnit = rig.selection.units;
    rig.selection.units.resize(1);
    rig.session().readParametersRequested(0);
    rig.settle(300);
    std::vector<std::string> alone;
    for (int line = 0; line < rig.table.lineCount(); ++line) {
        alone.push_back(rig.table.text(line, ParameterTable::ValueColumn));
    }
    rig.selection.units = everyUnit;
    const int repliesBefore = rig.repliesReceived;
    const int repliesPerUnit = repliesBefore;

    QElapsedTimer clock;
    clock.start();
    PaintClock paintClock(clock);
    rig.list->viewport()->installEventFilter(&paintClock);
    QTimer heartbeat;
    QObject::connect(&heartbeat, &QTimer::timeout, [&] { rig.list->viewport()->update(); });
    heartbeat.start(16);
    QApplication::processEvents();

    qint64 lastReplyAt = 0;
    rig.onReply = [&](const std::vector<std::uint8_t>&) { lastReplyAt = clock.elapsed(); };
    const qint64 readStart = clock.elapsed();
    paintClock.paints.clear();
    rig.session().readParametersRequested(0);
    const qint64 readEnd = clock.elapsed();
    std::vector<qint64> duringRead = paintClock.paints;

    rig.settle(500);
    heartbeat.stop();
    QApplication::processEvents();

    qint64 longestGap = 0;
    qint64 longestGapEnd = 0;
    qint64 previous = readStart;
    for (const qint64 paint : duringRead) {
        if (paint - previous > longestGap) {
            longestGap = paint - previous;
            longestGapEnd = paint;
        }
        previous = paint;
    }
    if (readEnd - previous > longestGap) {
        longestGap = readEnd - previous;
        longestGapEnd = readEnd;
    }

    // Every unit holds the same values but its name, which therefore stays empty, as the
    // agreement of several units wants.
    int shown = 0;
    int expected = 0;
    int matching = 0;
    const DescriptionSlot& description = rig.session().currentDescription();
    for (int line = 0; line < rig.table.lineCount(); ++line) {
        const ParameterRow* row = description.row(rig.table.parameterOfLine(line));
        const std::string want = row != nullptr && row->address == "0.1.1"
                                     ? std::string()
                                     : alone[static_cast<std::size_t>(line)];
        const std::string& have = rig.table.text(line, ParameterTable::ValueColumn);
        expected += want.empty() ? 0 : 1;
        shown += have.empty() ? 0 : 1;
        matching += have == want ? 1 : 0;
    }
    std::printf("units read                      %d\n", units);
    std::printf("read call (requests and pauses) %lld ms (expected >= %d ms)\n",
                static_cast<long long>(readEnd - readStart), units * 100);
    std::printf("paints during the read          %zu\n", duringRead.size());
    std::printf("longest gap between paints      %lld ms (target <= 200 ms), ending %lld ms "
                "into the read\n",
                static_cast<long long>(longestGap),
                static_cast<long long>(longestGapEnd - readStart));
    std::printf("last reply handled              %lld ms after the read call returned\n",
                static_cast<long long>(lastReplyAt - readEnd));
    const int replies = rig.repliesReceived - repliesBefore;
    std::printf("replies received                %d of %d sent\n", replies, units * repliesPerUnit);
    std::printf("values shown after the replies  %d of %d expected, %d of %d lines as expected\n",
                shown, expected, matching, rig.table.lineCount());
    const bool ok = longestGap <= 200 && replies == units * repliesPerUnit && shown == expected &&
                    matching == rig.table.lineCount() &&
                    readEnd - readStart >= static_cast<qint64>(units) * 100;
    std::printf("%s\n", ok ? "within targets" : "TARGET MISSED");
    return ok ? 0 : 1;
}
