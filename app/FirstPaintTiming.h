#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace morvik {

// For the start-up benchmark: when MORVIK_FIRST_PAINT_FROM_NS holds a CLOCK_REALTIME time in
// nanoseconds (taken by the script just before it started the program), the program prints
// "first-paint-ms=N" once `window` has been painted for the first time, and quits.
class FirstPaintTiming : public QObject {
public:
    static void watch(QWidget& window) {
        const char* from = std::getenv("MORVIK_FIRST_PAINT_FROM_NS");
        if (from == nullptr || *from == '\0') {
            return;
        }
        auto* timing = new FirstPaintTiming(std::strtoll(from, nullptr, 10), &window);
        window.installEventFilter(timing);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !seen_) {
            seen_ = true;
            // Reported once the paint has been handled and the picture handed to the screen.
            QTimer::singleShot(0, watched, [start = startNs_] {
                timespec now{};
                clock_gettime(CLOCK_REALTIME, &now);
                const long long nowNs =
                    static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
                std::printf("first-paint-ms=%.1f\n", static_cast<double>(nowNs - start) / 1e6);
                std::fflush(stdout);
                QCoreApplication::exit(0);
            });
        }
        return false;
    }

private:
    FirstPaintTiming(long long startNs, QObject* parent) : QObject(parent), startNs_(startNs) {}
    long long startNs_;
    bool seen_ = false;
};

} // namespace morvik
