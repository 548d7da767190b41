// The About window: title, credit, the web address, and one button.
#pragma once

#include <QPushButton>
#include <QWidget>

#include "controls.h"
#include "shell.h"

namespace quorvane {

class Form2 : public QWidget {
    Q_OBJECT
public:
    explicit Form2(Shell& shell, QWidget* parent = nullptr);
    QWidget* control(const QString& name) const { return controls_.value(name); }

    ClickLabel* Label1 = nullptr;
    ClickLabel* Label2 = nullptr;
    ClickLabel* Label3 = nullptr;
    QPushButton* Command1 = nullptr;

public slots:
    void Form_Load();
    void Label3_Click();
    void Command1_Click();

private:
    Shell& shell_;
    ControlMap controls_;
};

}  // namespace quorvane
