#include "view/PaintingPacer.h"

#include "protocol/UdpEndpoint.h"
#include "support/GuiTestSupport.h"

#include <QElapsedTimer>
#include <QPaintEvent>
#include <QSocketNotifier>
#include <chrono>
#include <vector>

namespace morvik::testing {
namespace {

// Counts its paints and when they came.
class PaintProbe final : public QWidget {
public:
    std::vector<qint64> paintTimes;
    QElapsedTimer clock;

protected:
    void paintEvent(QPaintEvent*) override { paintTimes.push_back(clock.elapsed()); }
};

TEST(PaintingPacerTest, KeepsTheTimeAndPaintsButLeavesSocketNotificationsWaiting) {
    guiApplication();
    PaintProbe probe;
    probe.resize(100, 100);
    showActive(probe);
    probe.clock.start();
    QTimer repaint;
    QObject::connect(&repaint, &QTimer::timeout, &probe, [&] { probe.update(); });
    repaint.start(10);

    auto receiver = UdpEndpoint::bind("127.0.0.1", 0);
    auto sender = UdpEndpoint::bind("127.0.0.1", 0);
    ASSERT_TRUE(receiver && sender);
    QSocketNotifier notifier(receiver->descriptor(), QSocketNotifier::Read);
    int notified = 0;
    QObject::connect(&notifier, &QSocketNotifier::activated, [&] {
        std::vector<std::uint8_t> buffer(64);
        receiver->receiveFrom(buffer);
        ++notified;
    });
    const std::vector<std::uint8_t> datagram{1, 2, 3};
    sender->sendTo(datagram, receiver->localPort(), "127.0.0.1");
    std::vector<QString> progress;
    PaintingPacer pacer;
    pacer.holdDuringPauses(&notifier);
    int unit = 0;
    pacer.setProgress([&] { return QStringLiteral("Reading unit %1 of 3...").arg(++unit); },
                      [&](const QString& text) { progress.push_back(text); });
    const auto paintsBefore = probe.paintTimes.size();
    QElapsedTimer took;
    took.start();
    pacer.pause(std::chrono::milliseconds(100));
    pacer.pause(std::chrono::milliseconds(100));
    const qint64 elapsed = took.elapsed();

    EXPECT_GE(elapsed, 200);
    EXPECT_LT(elapsed, 400);
    EXPECT_EQ(notified, 0) << "no socket notification during the pauses";
    EXPECT_GT(probe.paintTimes.size(), paintsBefore + 8) << "painting went on";
    EXPECT_EQ(progress, (std::vector<QString>{"Reading unit 1 of 3...", "Reading unit 2 of 3..."}));
    QElapsedTimer after;
    after.start();
    while (notified == 0 && after.elapsed() < 1000) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    EXPECT_EQ(notified, 1) << "the datagram waits for the event loop";
}

} // namespace
} // namespace morvik::testing
