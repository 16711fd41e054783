#pragma once

// Helpers for widget tests: real widgets on Qt's offscreen platform, driven by mouse and key
// events that go through the window system path (QTest on the QWindow), so that focus, pop-up
// routing and the application's button state behave as they do on a desktop; answering real
// modal dialogs; waiting on the event loop; and a fleet of simulated units on loopback that
// answers while the event loop runs.

#include "parameters/SessionHarness.h"
#include "support/GuiSessionRig.h"
#include "support/QtPrinters.h"
#include "support/SessionRig.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPoint>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace morvik::testing {

// Shows a top-level widget and makes it the active window.
inline void showActive(QWidget& window) {
    window.show();
    window.activateWindow();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
}

inline QWindow* windowOf(QWidget* widget) {
    return widget->window()->windowHandle();
}

inline QPoint inWindow(QWidget* widget, QPoint point) {
    return widget->mapTo(widget->window(), point);
}

inline void pressAt(QWidget* widget, QPoint point, Qt::MouseButton button = Qt::LeftButton) {
    QTest::mousePress(windowOf(widget), button, {}, inWindow(widget, point));
}
inline void releaseAt(QWidget* widget, QPoint point, Qt::MouseButton button = Qt::LeftButton) {
    QTest::mouseRelease(windowOf(widget), button, {}, inWindow(widget, point));
}
inline void moveTo(QWidget* widget, QPoint point) {
    QTest::mouseMove(windowOf(widget), inWindow(widget, point));
}
inline void clickAt(QWidget* widget, QPoint point, Qt::MouseButton button = Qt::LeftButton) {
    pressAt(widget, point, button);
    releaseAt(widget, point, button);
}

// Types text through the window system, as a keyboard does.
inline void typeInto(QWindow* window, const QString& text) {
    for (const QChar c : text) {
        QTest::keyClick(window, c.toLatin1());
    }
}

// Runs `step` from the event loop: the way to act while a modal loop holds the caller.
inline void whenLoopRuns(std::function<void()> step) {
    QTimer::singleShot(0, guiApplication().instance(), std::move(step));
}

// Waits, running the event loop, until `condition` holds or `timeoutMs` passes.
inline bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 5000) {
    return QTest::qWaitFor(condition, timeoutMs);
}

// Answers modal dialogs as they open: every new modal window is handed to `answer`, which
// reads it and closes it (click a button, reject). Runs from a timer, so it also answers
// dialogs opened inside nested event loops.
class DialogAnswerer {
public:
    using Answer = std::function<void(QWidget& dialog)>;

    explicit DialogAnswerer(Answer answer) : answer_(std::move(answer)) {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
        timer_.start();
    }

    int answered() const { return answered_; }
    const std::vector<std::string>& captions() const { return captions_; }
    const std::vector<std::string>& texts() const { return texts_; }

private:
    void poll() {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || modal == lastAnswered_.data()) {
            return;
        }
        lastAnswered_ = modal;
        captions_.push_back(modal->windowTitle().toStdString());
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            texts_.push_back(box->text().toStdString());
        } else {
            texts_.emplace_back();
        }
        ++answered_;
        answer_(*modal);
    }

    Answer answer_;
    QTimer timer_;
    QPointer<QWidget> lastAnswered_;
    int answered_ = 0;
    std::vector<std::string> captions_;
    std::vector<std::string> texts_;
};

// Clicks the button of `dialog` whose text is `text`.
inline void clickButton(QWidget& dialog, const QString& text) {
    for (QAbstractButton* button : dialog.findChildren<QAbstractButton*>()) {
        if (button->text() == text) {
            button->click();
            return;
        }
    }
    ADD_FAILURE() << "no button " << text.toStdString() << " in "
                  << dialog.windowTitle().toStdString();
    if (auto* asDialog = qobject_cast<QDialog*>(&dialog)) {
        asDialog->reject();
    }
}

// Simulated units on loopback, answering from a timer on the GUI thread, so that they answer
// inside nested event loops (message boxes) too. Sets the MORVIK_* variables to reach them.
class LoopbackFleet {
public:
    explicit LoopbackFleet(const std::string& fleetJson) : fleet_(fleetJson) {
        ::setenv("MORVIK_DEVICE_PORT", std::to_string(fleet_.settings().devicePort).c_str(), 1);
        ::setenv("MORVIK_BROADCAST_ADDRESS", fleet_.settings().broadcastAddress.c_str(), 1);
        ::setenv("MORVIK_HOST_ADDRESS", fleet_.settings().hostAddress.c_str(), 1);
        pump_.setInterval(1);
        QObject::connect(&pump_, &QTimer::timeout, [this] { fleet_.simulator().pollOnce(0); });
        pump_.start();
    }
    // The demo fleet file.
    static std::string demoFleet() { return readTextFile(MORVIK_DEMO_DATA_DIR "/fleet.json"); }

    ~LoopbackFleet() {
        ::unsetenv("MORVIK_DEVICE_PORT");
        ::unsetenv("MORVIK_BROADCAST_ADDRESS");
        ::unsetenv("MORVIK_HOST_ADDRESS");
    }

    const ScratchData& data() const { return fleet_.data(); }
    sim::Simulator& simulator() { return fleet_.simulator(); }
    std::uint16_t port() const { return fleet_.settings().devicePort; }

private:
    SimulatedFleet fleet_;
    QTimer pump_;
};

} // namespace morvik::testing
