// Two controls the toolkit lacks as such: a frame whose caption is drawn in
// a colour of its own, and a check box whose caption is kept but not shown.
#pragma once

#include <QCheckBox>
#include <QColor>
#include <QHash>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

#include <vector>

#include "geometry.h"

namespace quorvane {

// A frame with an etched border and its caption on the top edge. Being a
// plain widget, it clips its children to its rectangle.
class Frame : public QWidget {
    Q_OBJECT
public:
    explicit Frame(const QString& caption, QWidget* parent = nullptr);
    QString caption() const { return caption_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString caption_;
};

// A check box drawn as its check mark alone; text() still holds its caption.
// The designed 12-pixel height is a pixel short of the style's check mark,
// so the box grows to the mark's height, centred on its designed place.
class CaptionlessCheckBox : public QCheckBox {
    Q_OBJECT
public:
    using QCheckBox::QCheckBox;
    void SetDesignedGeometry(const QRect& designed);
    void SetDesignedTop(int top);  // pixels, as the panel modes move it

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int grown_ = 0;  // pixels added to the designed height
};

// A push button whose access key (Alt+S) clicks at once. The toolkit's
// own button first shows itself pressed for 100 ms, and the command waits.
// Enter on the focused button clicks it too, as on Windows.
class CommandButton : public QPushButton {
    Q_OBJECT
public:
    using QPushButton::QPushButton;

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;  // Enter clicks the focused button
};

// A label with a click event.
class ClickLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// The controls built from one container's table, by name ("Text(3)",
// "Label12(0)", "Command1"), each named so (objectName) as well.
using ControlMap = QHash<QString, QWidget*>;

// Creates the controls of a table inside container, at their places, with
// their captions.
void BuildControls(const ControlTable& table, QWidget* container, ControlMap& controls);

// Chains the named controls in the Tab key's order; returns them so.
std::vector<QWidget*> ApplyTabOrder(const TabOrder& order, const ControlMap& controls);

}  // namespace quorvane
