#include "controls.h"

#include <QLineEdit>

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QShortcutEvent>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <limits>

#include <algorithm>

#include "calc.h"
#include "qttext.h"

namespace quorvane {

namespace {
const QColor kCaptionBlue(0, 0, 255);
}

Frame::Frame(const QString& caption, QWidget* parent) : QWidget(parent), caption_(caption) {}

void Frame::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QFontMetrics fm = fontMetrics();
    const int top = fm.height() / 2;
    const QRect box = rect().adjusted(0, top, -1, -1);
    // Etched border: a dark line with a light one beside it.
    p.setPen(palette().color(QPalette::Mid));
    p.drawRect(box.adjusted(0, 0, -1, -1));
    p.setPen(palette().color(QPalette::Light));
    p.drawRect(box.adjusted(1, 1, 0, 0));
    const int left = 6;
    const QRect text(left, 0, fm.horizontalAdvance(caption_) + 4, fm.height());
    p.fillRect(text, palette().color(QPalette::Window));
    p.setPen(kCaptionBlue);
    p.drawText(text, Qt::AlignCenter, caption_);
}

void CaptionlessCheckBox::SetDesignedGeometry(const QRect& designed) {
    QStyleOptionButton option;
    initStyleOption(&option);
    const int mark = style()->pixelMetric(QStyle::PM_IndicatorHeight, &option, this);
    grown_ = std::max(0, mark - designed.height());
    setGeometry(designed.x(), designed.y() - grown_ / 2, designed.width(), designed.height() + grown_);
}

void CaptionlessCheckBox::SetDesignedTop(int top) { move(x(), top - grown_ / 2); }

void CaptionlessCheckBox::paintEvent(QPaintEvent*) {
    QStylePainter p(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    p.drawControl(QStyle::CE_CheckBox, option);
}

namespace {

QString CaptionOf(const ControlRow& row) {
    std::string_view text;
    switch (row.source) {
        case Source::Literal:
            return QString::fromUtf8(row.text);
        case Source::ParamRow:
            text = kParams[static_cast<std::size_t>(ParamOf(row))].rowCaption;
            break;
        case Source::ParamCaption:
            text = kParams[static_cast<std::size_t>(ParamOf(row))].caption;
            break;
        case Source::ParamUnit:
            text = kParams[static_cast<std::size_t>(ParamOf(row))].unit;
            break;
        case Source::ParamDefault:
            text = kParams[static_cast<std::size_t>(ParamOf(row))].defaultText;
            break;
        case Source::ResultCaption:
            text = kResultCaptions[static_cast<std::size_t>(ResultOf(row))];
            break;
        case Source::ResultUnit:
            text = kResultUnit;
            break;
    }
    return FromUtf8(text);
}

QWidget* Create(const ControlRow& row, const QString& caption, QWidget* parent) {
    switch (row.kind) {
        case Kind::Frame:
            return new Frame(caption, parent);
        case Kind::Label:
            return new ClickLabel(caption, parent);
        case Kind::TextBox: {
            auto* box = new QLineEdit(caption, parent);
            box->setMaxLength(std::numeric_limits<int>::max());  // no limit of the program's own
            return box;
        }
        case Kind::Button:
            return new CommandButton(caption, parent);
        case Kind::CheckBox:
            return new CaptionlessCheckBox(caption, parent);
    }
    return nullptr;
}

}  // namespace

void BuildControls(const ControlTable& table, QWidget* container, ControlMap& controls) {
    for (std::size_t i = 0; i < table.count; ++i) {
        const ControlRow& row = table.rows[i];
        QWidget* w = Create(row, CaptionOf(row), container);
        const QString name =
            row.kind == Kind::TextBox && row.source == Source::ParamDefault
                ? InputBoxName(static_cast<std::size_t>(ParamOf(row)))
            : row.index < 0 ? QString::fromLatin1(row.name)
                            : QStringLiteral("%1(%2)").arg(QLatin1String(row.name)).arg(row.index);
        w->setObjectName(name);
        if (row.kind == Kind::CheckBox)
            static_cast<CaptionlessCheckBox*>(w)->SetDesignedGeometry(
                TwipsRect(row.left, row.top, row.width, row.height));
        else
            w->setGeometry(TwipsRect(row.left, row.top, row.width, row.height));
        controls.insert(name, w);
    }
}

std::vector<QWidget*> ApplyTabOrder(const TabOrder& order, const ControlMap& controls) {
    std::vector<QWidget*> chain;
    for (std::size_t i = 0; i < order.count; ++i) {
        const int param = FindParam(order.names[i]);
        chain.push_back(controls.value(param >= 0 ? InputBoxName(static_cast<std::size_t>(param))
                                                  : QString::fromLatin1(order.names[i])));
    }
    for (std::size_t i = 1; i < chain.size(); ++i) QWidget::setTabOrder(chain[i - 1], chain[i]);
    return chain;
}

bool CommandButton::event(QEvent* event) {
    if (event->type() == QEvent::Shortcut && !static_cast<QShortcutEvent*>(event)->isAmbiguous()) {
        if (focusPolicy() & Qt::TabFocus) setFocus(Qt::ShortcutFocusReason);
        click();
        return true;
    }
    return QPushButton::event(event);
}

void CommandButton::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        event->modifiers() == Qt::NoModifier) {
        click();
        return;
    }
    QPushButton::keyPressEvent(event);
}

void ClickLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) emit clicked();
    QLabel::mouseReleaseEvent(event);
}

}  // namespace quorvane
