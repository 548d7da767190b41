#include "accessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLabel>

#include "calc.h"
#include "geometry.h"
#include "qttext.h"

namespace quorvane {
namespace {

// A caption as spoken: without its colon.
QString Spoken(std::string_view text) {
    QString s = FromUtf8(text);
    if (s.endsWith(':')) s.chop(1);
    return s;
}

QAccessibleInterface* Roles(const QString& className, QObject* object) {
    if (!object || !object->isWidgetType()) return nullptr;
    auto* widget = static_cast<QWidget*>(object);
    if (className == QLatin1String("quorvane::Frame"))
        return new QAccessibleWidget(widget, QAccessible::Grouping);
    if (className == QLatin1String("quorvane::Form1"))
        return new QAccessibleWidget(widget, QAccessible::Window);
    if (className == QLatin1String("quorvane::Form2"))
        return new QAccessibleWidget(widget, QAccessible::Dialog);
    return nullptr;
}

// The box that a caption or unit label of the tables speaks of.
QString BoxOf(const ControlRow& row) {
    switch (row.source) {
        case Source::ParamUnit:
        case Source::ParamCaption: {
            const auto param = static_cast<std::size_t>(ParamOf(row));
            if (row.source == Source::ParamCaption && !kParams[param].rowCaption.empty())
                return {};  // a column caption: shared by four boxes
            return InputBoxName(param);
        }
        case Source::ResultCaption:
            return QStringLiteral("Text1(%1)").arg(ResultOf(row));
        default:
            return {};
    }
}

}  // namespace

void InstallAccessibleRoles() {
    static const bool installed = [] {
        QAccessible::installFactory(Roles);
        return true;
    }();
    (void)installed;
}

QString InputAccessibleName(std::size_t index) {
    const ParamInfo& p = kParams[index];
    if (!p.rowCaption.empty()) return Spoken(p.rowCaption) + ' ' + Spoken(p.caption) + ' ' + Spoken(p.unit);
    QString name = p.caption.empty() ? Spoken(p.displayName) : Spoken(p.caption);
    QString unit = Spoken(p.unit);
    if (p.caption.empty()) unit = unit.section('(', 0, 0);  // "mm(长度)": the length is in the name
    return unit.isEmpty() ? name : name + ' ' + unit;
}

QString ResultAccessibleName(std::size_t index) {
    return Spoken(kResultCaptions[index]) + ' ' + Spoken(kResultUnit);
}

void NameForm1Controls(const ControlMap& controls) {
    for (std::size_t i = 0; i < kInputCount; ++i) {
        controls.value(InputBoxName(i))->setAccessibleName(InputAccessibleName(i));
    }
    for (std::size_t i = 0; i < kResultCount; ++i)
        controls.value(QStringLiteral("Text1(%1)").arg(i))->setAccessibleName(ResultAccessibleName(i));
    controls.value("Text3")->setAccessibleName(ResultAccessibleName(kCadInputLoad));
    // The tick boxes show no caption of their own (伸缩's holds the mode flag).
    controls.value("Check1")->setAccessibleName(QStringLiteral("置顶"));
    controls.value("Check2")->setAccessibleName(QStringLiteral("伸缩"));

    for (const ControlTable* table : {&kForm1Window, &kForm1Frame1, &kForm1Frame2, &kForm1Frame3}) {
        for (std::size_t r = 0; r < table->count; ++r) {
            const ControlRow& row = table->rows[r];
            if (row.kind == Kind::Frame) {
                auto* frame = static_cast<Frame*>(controls.value(QString::fromLatin1(row.name)));
                frame->setAccessibleName(frame->caption());
            }
            if (row.kind != Kind::Label) continue;
            QString boxName = BoxOf(row);
            if (QString::fromLatin1(row.name) == QLatin1String("Label41")) boxName = QStringLiteral("Text3");
            QWidget* box = controls.value(boxName);
            const QString labelName = row.index < 0 ? QString::fromLatin1(row.name)
                                                    : QStringLiteral("%1(%2)").arg(row.name).arg(row.index);
            auto* label = qobject_cast<QLabel*>(controls.value(labelName));
            // Linked where label and box share a container.
            if (box && label && box->parentWidget() == label->parentWidget()) label->setBuddy(box);
        }
    }
}

}  // namespace quorvane
