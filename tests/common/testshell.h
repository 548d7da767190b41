// Test doubles for the window layer: a Shell that records what would have
// blocked or left the process, and a watchdog that fails a test in which a
// real modal dialog appears instead of letting it hang.
#pragma once

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <deque>
#include <functional>

#include "shell.h"

namespace quorvane {

class RecordingShell : public Shell {
public:
    struct Message {
        QString text;
        Buttons buttons;
    };
    std::vector<Message> messages;
    std::deque<Answer> answers;  // for YesNo questions, in order; default No
    QStringList viewerStarts;
    QStringList webAddresses;
    bool viewerWorks = true;
    std::function<void()> onMessage;  // runs while a message is "open"

    Answer ShowMessage(QWidget*, const QString& text, Buttons buttons) override {
        messages.push_back({text, buttons});
        if (onMessage) onMessage();
        if (buttons == Buttons::Ok) return Answer::Ok;
        if (answers.empty()) return Answer::No;
        const Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    bool StartReportViewer(const QString& path, QString* reason) override {
        viewerStarts << path;
        if (!viewerWorks && reason) *reason = QStringLiteral("没有查看程序");
        return viewerWorks;
    }
    bool OpenWebAddress(const QString& address, QString*) override {
        webAddresses << address;
        return true;
    }
    QStringList texts() const {
        QStringList list;
        for (const auto& m : messages) list << m.text;
        return list;
    }
};

// Closes any modal dialog that shows up while a test runs and fails that
// test on the spot, instead of letting it hang.
class ModalWatchdog : public QObject {
public:
    QStringList seen;
    ModalWatchdog() {
        timer_.setInterval(50);
        QObject::connect(&timer_, &QTimer::timeout, this, [this] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                seen << modal->windowTitle();
                modal->close();
                QTest::qFail(qPrintable("unexpected modal dialog: " + seen.last()), __FILE__, __LINE__);
            }
        });
        timer_.start();
    }

private:
    QTimer timer_;
};

}  // namespace quorvane
