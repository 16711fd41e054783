#pragma once

// Helpers for widget tests: answering real modal dialogs, waiting on the event loop, and a
// fleet of simulated units on loopback that answers while the event loop runs.

#include "parameters/SessionHarness.h"
#include "sim/FleetFile.h"
#include "sim/Simulator.h"
#include "support/QtPrinters.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace morvik::testing {

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
    explicit LoopbackFleet(const std::string& fleetJson) : simulator_(options(data_.directory())) {
        std::string error;
        const auto fleet = sim::parseFleet(fleetJson, error);
        EXPECT_TRUE(fleet.has_value()) << error;
        if (fleet) {
            EXPECT_TRUE(simulator_.start(*fleet, error)) << error;
        }
        ::setenv("MORVIK_DEVICE_PORT", std::to_string(simulator_.port()).c_str(), 1);
        ::setenv("MORVIK_BROADCAST_ADDRESS", "127.255.255.255", 1);
        ::setenv("MORVIK_HOST_ADDRESS", "127.0.0.1", 1);
        pump_.setInterval(1);
        QObject::connect(&pump_, &QTimer::timeout, [this] { simulator_.pollOnce(0); });
        pump_.start();
    }
    // The demo fleet file.
    static std::string demoFleet() { return readTextFile(MORVIK_DEMO_DATA_DIR "/fleet.json"); }

    ~LoopbackFleet() {
        ::unsetenv("MORVIK_DEVICE_PORT");
        ::unsetenv("MORVIK_BROADCAST_ADDRESS");
        ::unsetenv("MORVIK_HOST_ADDRESS");
    }

    const ScratchData& data() const { return data_; }
    sim::Simulator& simulator() { return simulator_; }
    std::uint16_t port() const { return simulator_.port(); }

private:
    static sim::SimulatorOptions options(const std::string& dataDirectory) {
        sim::SimulatorOptions result;
        result.dataDirectory = dataDirectory;
        result.port = 0;
        return result;
    }

    ScratchData data_;
    sim::Simulator simulator_;
    QTimer pump_;
};

} // namespace morvik::testing
