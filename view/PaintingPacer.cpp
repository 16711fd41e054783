#include "view/PaintingPacer.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QSocketNotifier>
#include <algorithm>
#include <chrono>
#include <thread>

namespace morvik {

namespace {

// Short enough that a window asking to be repainted waits no longer than a frame or two.
constexpr std::chrono::milliseconds kPaintSlice{5};

} // namespace

void PaintingPacer::pause(std::chrono::milliseconds duration) {
    if (progressText_ && showProgress_) {
        showProgress_(progressText_());
    }
    std::vector<QSocketNotifier*> suspended;
    for (const QPointer<QSocketNotifier>& notifier : held_) {
        if (notifier != nullptr && notifier->isEnabled()) {
            notifier->setEnabled(false);
            suspended.push_back(notifier);
        }
    }
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + duration;
    constexpr auto kPaintOnly =
        QEventLoop::ExcludeUserInputEvents | QEventLoop::ExcludeSocketNotifiers;
    for (;;) {
        QCoreApplication::processEvents(kPaintOnly);
        const auto now = Clock::now();
        if (now >= deadline) {
            break;
        }
        std::this_thread::sleep_for(std::min<Clock::duration>(deadline - now, kPaintSlice));
    }
    for (const QPointer<QSocketNotifier>& notifier : held_) {
        if (notifier != nullptr &&
            std::find(suspended.begin(), suspended.end(), notifier.data()) != suspended.end()) {
            notifier->setEnabled(true);
        }
    }
}

} // namespace morvik
