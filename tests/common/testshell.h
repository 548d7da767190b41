// Test doubles for the window layer: a Shell that records what would have
// blocked or left the process, and a watchdog that fails a test in which a
// real modal dialog appears instead of letting it hang.
#pragma once

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <QTemporaryDir>

#include <deque>
#include <functional>
#include <memory>

#include "form1.h"
#include "form2.h"
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
    std::vector<HandedBeam> sentToSchedule;
    bool SendToSchedule(const HandedBeam& beam, QString*) override {
        sentToSchedule.push_back(beam);
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

// What the window suites share: the main window, loaded, on a report file
// of its own, with a recording shell and a modal watchdog. A suite calls
// OpenWindow() from init() and CloseWindow() from cleanup().
class WindowTest : public QObject {
protected:
    void OpenWindow() {
        dir_ = std::make_unique<QTemporaryDir>();
        report_ = dir_->filePath(QStringLiteral("计算过程.txt"));
        shell_ = std::make_unique<RecordingShell>();
        watchdog_ = std::make_unique<ModalWatchdog>();
        form_ = std::make_unique<Form1>(report_, *shell_);
        form_->Form_Load();
    }
    void CloseWindow() {
        if (Form2* about = form_->aboutWindow()) about->close();
        form_.reset();
        QVERIFY2(watchdog_->seen.isEmpty(), qPrintable("unexpected dialog: " + watchdog_->seen.join(", ")));
        watchdog_.reset();
    }

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<RecordingShell> shell_;
    std::unique_ptr<ModalWatchdog> watchdog_;
    std::unique_ptr<Form1> form_;
    QString report_;
};

}  // namespace quorvane
