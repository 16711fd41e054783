#pragma once

// Real widgets on Qt's offscreen platform, driven by mouse and key events that go through the
// window system path (QTest on the QWindow), so that focus, pop-up routing and the application's
// button state behave as they do on a desktop.

#include <QApplication>
#include <QPoint>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>

namespace morvik::testing {

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

} // namespace morvik::testing
