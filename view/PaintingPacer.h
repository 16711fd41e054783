#pragma once

#include "parameters/SessionPorts.h"

#include <QPointer>
#include <QSocketNotifier>
#include <QString>
#include <functional>
#include <vector>

namespace morvik {

// The pause between the units of a read, kept on the user-interface thread: the time is the
// same as a plain sleep, but the windows go on painting. Only paint and update work is done
// meanwhile: no user input and no socket notification is handled, so nothing the user does and
// no unit reply can run into the middle of a read.
class PaintingPacer final : public Pacer {
public:
    using ProgressText = std::function<QString()>;
    using ShowProgress = std::function<void(const QString&)>;

    // `text` says where the read stands; `show` puts it where the user sees it.
    void setProgress(ProgressText text, ShowProgress show) {
        progressText_ = std::move(text);
        showProgress_ = std::move(show);
    }

    // A socket whose notifications wait while a pause runs. Qt's flag for that is not honoured
    // by every event dispatcher (the GLib one ignores it), so the notifier itself is held.
    void holdDuringPauses(QSocketNotifier* notifier) { held_.emplace_back(notifier); }

    void pause(std::chrono::milliseconds duration) override;

private:
    std::vector<QPointer<QSocketNotifier>> held_;
    ProgressText progressText_;
    ShowProgress showProgress_;
};

} // namespace morvik
