#include "form1.h"

#include <QKeyEvent>

#include <QAction>
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QMenu>

#include <filesystem>
#include <iterator>

#include "accessibility.h"
#include "calc.h"
#include "desktop.h"
#include "form2.h"
#include "materials.h"
#include "module1.h"
#include "panelmodes.h"
#include "qttext.h"

namespace quorvane {

namespace {

// Shift+F10 opens a box's context menu, as the menu key does.
class ShiftF10Menu : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        auto* widget = qobject_cast<QWidget*>(watched);
        if (!widget || key->key() != Qt::Key_F10 || key->modifiers() != Qt::ShiftModifier) return false;
        emit widget->customContextMenuRequested(QPoint(0, widget->height()));
        return true;
    }
};

}  // namespace
namespace {

const QString kInputError = QStringLiteral("数据输入有误!");
const QString kExitQuestion = QStringLiteral("你是否真得想退出系统?");
const QString kNothingToCopy = QStringLiteral("请先计算,再复制荷载。");



// A control at a height of the layout: a tick box keeps its own designed top.
void SetTop(QWidget* w, int twips) {
    if (auto* box = qobject_cast<CaptionlessCheckBox*>(w))
        box->SetDesignedTop(Twips(twips));
    else
        w->move(w->x(), Twips(twips));
}

template <typename T>
T* Find(const ControlMap& controls, const QString& name) {
    return static_cast<T*>(controls.value(name));
}

}  // namespace

Form1::Form1(const QString& reportPath, Shell& shell, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::MSWindowsFixedSizeDialogHint |
                          Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      reportPath_(reportPath),
      shell_(shell) {
    InstallAccessibleRoles();
    setWindowTitle(QStringLiteral("Quorvane(Tessmoor)"));
    setFixedSize(Twips(kForm1ClientWidth), Twips(kForm1DesignClientHeight));

    BuildControls(kForm1Window, this, controls_);
    FindControls();
    // Stacking among the window's own controls, bottom first: the four boxes
    // that stand inside frames but belong to the window are drawn above them.
    QWidget* length = Text[static_cast<std::size_t>(FindParam("BeamLength"))];
    for (QWidget* w : std::initializer_list<QWidget*>{Label37, Label38, Label39, Frame3, Frame1, Frame2,
                                                      Text1[1], Text1[2], Text1[3], length, Check1, Check2})
        w->raise();
    Label37->setCursor(Qt::WhatsThisCursor);
    Label37->setToolTip(QStringLiteral("编程之道:为了人们更好地生活."));
    ConnectControls();
    OfferMaterials();
    // On the window's own context menu and a key, so that nothing of the layout moves.
    auto* send = new QAction(QStringLiteral("发送到梁表(&L)"), this);
    send->setObjectName(QStringLiteral("SendToSchedule"));
    send->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_L));
    send->setShortcutContext(Qt::WindowShortcut);
    connect(send, &QAction::triggered, this, &Form1::SendToSchedule);
    addAction(send);
    setContextMenuPolicy(Qt::ActionsContextMenu);
}

// The controls the window's tables built, found by their names.
void Form1::FindControls() {
    Frame1 = Find<Frame>(controls_, "Frame1");
    Frame2 = Find<Frame>(controls_, "Frame2");
    Frame3 = Find<Frame>(controls_, "Frame3");
    BuildControls(kForm1Frame1, Frame1, controls_);
    BuildControls(kForm1Frame2, Frame2, controls_);
    BuildControls(kForm1Frame3, Frame3, controls_);
    tabOrder_ = ApplyTabOrder(kForm1TabOrder, controls_);
    // Every input has its box in the window's tables; one without is a
    // mistake in those tables, said at once rather than met as a crash later.
    for (std::size_t i = 0; i < kInputCount; ++i)
        if (!controls_.value(InputBoxName(i)))
            qFatal("The input %s has no box (%s) in the window's control tables",
                   std::string(kParams[i].field).c_str(), qPrintable(InputBoxName(i)));
    for (std::size_t i = 0; i < Text.size(); ++i)
        Text[i] = Find<QLineEdit>(controls_, InputBoxName(i));
    for (std::size_t i = 0; i < Text1.size(); ++i)
        Text1[i] = Find<QLineEdit>(controls_, QStringLiteral("Text1(%1)").arg(i));
    Text2 = Find<QLineEdit>(controls_, InputBoxName(kRatioIndex));
    Text3 = Find<QLineEdit>(controls_, "Text3");
    Label37 = Find<ClickLabel>(controls_, "Label37");
    Label38 = Find<ClickLabel>(controls_, "Label38");
    Label39 = Find<ClickLabel>(controls_, "Label39");
    QPushButton** commands[] = {&Command1, &Command2, &Command3, &Command4,
                                &Command5, &Command6, &Command7, &Command8};
    for (std::size_t i = 0; i < std::size(commands); ++i)
        *commands[i] = Find<QPushButton>(controls_, QStringLiteral("Command%1").arg(i + 1));
    Check1 = Find<CaptionlessCheckBox>(controls_, "Check1");
    Check2 = Find<CaptionlessCheckBox>(controls_, "Check2");
    NameForm1Controls(controls_);
}

void Form1::ConnectControls() {
    for (std::size_t i = 0; i < Text.size(); ++i)
        connect(Text[i], &QLineEdit::textChanged, this, [this, i] { Text_Change(static_cast<int>(i)); });
    connect(Text2, &QLineEdit::textChanged, this, &Form1::Text2_Change);
    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Form1::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &Form1::Command4_Click);
    connect(Command5, &QPushButton::clicked, this, &Form1::Command5_Click);
    connect(Command6, &QPushButton::clicked, this, &Form1::Command6_Click);
    connect(Command7, &QPushButton::clicked, this, &Form1::Command7_Click);
    connect(Command8, &QPushButton::clicked, this, &Form1::Command8_Click);
    connect(Check1, &QCheckBox::clicked, this, &Form1::Check1_Click);
    // stateChanged, not clicked: start-up's own change must run the switch.
    connect(Check2, &QCheckBox::stateChanged, this, &Form1::Check2_Click);
    connect(Label37, &ClickLabel::clicked, this, &Form1::Label37_Click);
}

// Unit-weight boxes offer the standard's materials on their own context menu.
void Form1::OfferMaterials() {
    for (std::size_t i = 0; i < kBoxCount; ++i) {
        if (MaterialsFor(i).empty()) continue;
        QLineEdit* box = Text[i];
        box->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(box, &QWidget::customContextMenuRequested, this, [this, box, i](const QPoint& at) {
            QMenu* menu = box->createStandardContextMenu();
            menu->addSeparator();
            menu->addMenu(MaterialMenu(i, menu));
            menu->exec(box->mapToGlobal(at));
            delete menu;
        });
        box->installEventFilter(new ShiftF10Menu(box));
        // A figure typed over the material's is no longer that material.
        connect(box, &QLineEdit::textEdited, this, [box, i] {
            if (box->property("material").isValid()) NameMaterial(box, i, QString());
        });
    }
}

// The box's material (empty: none), in its tooltip and for a screen reader.
void Form1::NameMaterial(QLineEdit* box, std::size_t index, const QString& name) {
    const Material* m = name.isEmpty() ? nullptr : FindMaterial(index, ToUtf8(name));
    const QString said = m ? QStringLiteral("%1 (GB 50009-2012 表A 第 %2 项,%3)")
                                 .arg(name)
                                 .arg(m->item)
                                 .arg(FromUtf8(MaterialRange(*m)))
                           : QString();
    box->setProperty("material", m ? QVariant(name) : QVariant());
    box->setToolTip(said);
    box->setAccessibleDescription(said);
}

QMenu* Form1::MaterialMenu(std::size_t index, QWidget* parent) {
    const std::vector<const Material*> materials = MaterialsFor(index);
    if (materials.empty() || index >= kBoxCount) return nullptr;
    auto* menu = new QMenu(QStringLiteral("常用材料 (GB 50009)(&M)"), parent);
    QLineEdit* box = Text[index];
    for (const Material* m : materials) {
        const QString name = FromUtf8(MaterialName(index, *m));
        QAction* pick = menu->addAction(name + QStringLiteral("    ") + FromUtf8(MaterialRange(*m)));
        pick->setToolTip(QStringLiteral("GB 50009-2012 表A 第 %1 项").arg(m->item));
        connect(pick, &QAction::triggered, box, [box, index, name] {
            // As typed (Ctrl+Z takes it back), then named.
            box->selectAll();
            box->insert(FromUtf8(FindMaterial(index, ToUtf8(name))->high));
            NameMaterial(box, index, name);
        });
    }
    return menu;
}

void Form1::SendToSchedule() {
    HandedBeam beam;
    for (std::size_t i = 0; i < kBoxCount; ++i) beam.texts[i] = ToUtf8(Text[i]->text());
    beam.texts[kRatioIndex] = ToUtf8(Text2->text());
    for (std::size_t k = 0; k < beam.materials.size(); ++k) {
        const auto weight = static_cast<std::size_t>(FindParam(kMaterialFields[k].weight));
        if (weight < kBoxCount) beam.materials[k] = ToUtf8(Text[weight]->property("material").toString());
    }
    QString reason;
    if (!shell_.SendToSchedule(beam, &reason)) ShowMessage(QStringLiteral("没有发送到梁表:") + reason);
}

void Form1::TakeBeam(const HandedBeam& beam) {
    for (std::size_t i = 0; i < kBoxCount; ++i) Text[i]->setText(FromUtf8(beam.texts[i]));
    Text2->setText(FromUtf8(beam.texts[kRatioIndex]));
    // The beam's own materials; a box it names none for is no material any more.
    for (std::size_t k = 0; k < beam.materials.size(); ++k) {
        const auto weight = static_cast<std::size_t>(FindParam(kMaterialFields[k].weight));
        if (weight < kBoxCount) NameMaterial(Text[weight], weight, FromUtf8(beam.materials[k]));
    }
    // Loads of the beam that was here before must not stay to be read or copied.
    for (QLineEdit* result : Text1) result->clear();
    Text3->clear();
    if (isMinimized()) showNormal();
    raise();
    activateWindow();
}

Form2* Form1::aboutWindow() const { return about_.data(); }

void Form1::ShowMessage(const QString& text) { shell_.ShowMessage(this, text, Buttons::Ok); }

void Form1::Form_Load() {
    const Outcome created = EnsureReportFileExists(FilePath(reportPath_));
    if (!created.ok) ShowMessage(FromUtf8(created.message));
    Check2->setText(FromUtf8(IntegerText(1)));
    Check2->setChecked(true);
    for (QWidget* w : tabOrder()) {
        if (w->isVisibleTo(this)) {
            w->setFocus();
            break;
        }
    }
}

// Every change of any box checks them all. Emptying a box is itself a
// change and runs this again, nested; that pass finds nothing to report.
void Form1::Text_Change(int /*Index*/) {
    for (std::size_t i = 0; i < Text.size(); ++i) {
        if (IsAcceptableInputText(i, ToUtf8(Text[i]->text()))) continue;
        ShowMessage(kInputError);
        Text[i]->setText(QString());
    }
}

void Form1::Text2_Change() {
    if (!IsAcceptableInputText(kRatioIndex, ToUtf8(Text2->text()))) {
        ShowMessage(kInputError);
        Text2->setText(QStringLiteral("1"));
    }
}

void Form1::Command1_Click() { ComputeAndReport(); }
void Form1::Command5_Click() { ComputeAndReport(); }
void Form1::Command3_Click() { ViewReport(); }
void Form1::Command4_Click() { ViewReport(); }
void Form1::Command7_Click() { CopyLoad(); }
void Form1::Command8_Click() { CopyLoad(); }
void Form1::Command2_Click() { AskToExit(); }
void Form1::Command6_Click() { AskToExit(); }

// A result is read from its first digit: setText leaves the cursor at the
// end, which scrolls a long number's integer part out of a narrow box.
void Form1::ShowResult(QLineEdit* box, const QString& text) {
    box->setText(text);
    box->setCursorPosition(0);
}

void Form1::ComputeAndReport() {
    BeamTexts texts;
    for (std::size_t i = 0; i < kBoxCount; ++i) texts[i] = ToUtf8(Text[i]->text());
    texts[kRatioIndex] = ToUtf8(Text2->text());

    std::size_t shown = 0;
    const BeamOutcome beam = EvaluateBeam(texts, [this, &shown](std::size_t i, const std::string& text) {
        ShowResult(Text1[i], FromUtf8(text));
        shown = i + 1;
        if (i == kCadInputLoad) ShowResult(Text3, Text1[kCadInputLoad]->text());
    });
    // (Only the copy rule can fail once all four loads are made; copying says so itself.)
    if (!beam.computed()) {
        // No stale load of an earlier calculation may stay to be read or copied.
        for (std::size_t i = shown; i < kResultCount; ++i) Text1[i]->clear();
        Text3->clear();
        ShowMessage(FromUtf8(beam.error));
        return;
    }
    const Outcome written =
        WriteCalculationReport(FilePath(reportPath_), beam.calculation.inputs, beam.calculation.results,
                               SystemReportOptions());
    if (!written.ok) ShowMessage(FromUtf8(written.message));
}

void Form1::ViewReport() {
    QString reason;
    if (!shell_.StartReportViewer(reportPath_, &reason))
        ShowMessage(QStringLiteral("无法打开计算过程\"%1\":%2").arg(reportPath_, reason));
}

void Form1::CopyLoad() {
    // No load to copy (nothing computed yet, the last calculation failed, or
    // the box was cleared): a made-up "0.1" must not reach the CAD model.
    if (!IsNumeric(ToUtf8(Text3->text()))) {
        ShowMessage(kNothingToCopy);
        return;
    }
    std::string text;
    try {
        text = CopiedLoadText(ToUtf8(Text3->text()));
    } catch (const ArithmeticError& e) {
        ShowMessage(QString::fromUtf8(e.what()));
        return;
    }
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(FromUtf8(text));
}

void Form1::AskToExit() {
    if (shell_.ShowMessage(this, kExitQuestion, Buttons::YesNo) == Answer::Yes) close();
}

void Form1::Check1_Click() {
    if (Check1->isChecked())
        SetTopmost(this);
    else
        ClearTopmost(this);
}

// The panel switch. Each test reads the flag (Check2's caption) and the
// value afresh; test B ends the switch, since it leaves the condition of D.
void Form1::Check2_Click() {
    const auto flag = [this] { return ReadStrictFlag(ToUtf8(Check2->text())); };
    const auto value = [this] { return Check2->isChecked() ? 1 : 0; };
    if (flag() == 0 && value() == 1) ApplyPanelMode(PanelMode::Medium);
    if (flag() == 0 && value() == 0) {
        ApplyPanelMode(PanelMode::Full);
        Check2->setText(FromUtf8(IntegerText(1)));
        return;
    }
    if (flag() == 1 && value() == 1) ApplyPanelMode(PanelMode::Compact);
    if (flag() == 1 && value() == 0) {
        ApplyPanelMode(PanelMode::Full);
        Check2->setText(FromUtf8(IntegerText(0)));
    }
}

void Form1::Label37_Click() {
    if (!about_) {
        about_ = new Form2(shell_);
        about_->Form_Load();
    }
    about_->show();
}

// The layout of a mode (panelmodes.h) put in place; no text is touched.
void Form1::ApplyPanelMode(PanelMode mode) {
    Form1& f = *this;
    const PanelLayout& l = LayoutOf(mode);
    f.Frame3->setVisible(l.frame3Shown);
    f.Frame2->setVisible(l.frame2Shown);
    f.Frame1->resize(f.Frame1->width(), Twips(l.frame1Height));
    SetTop(f.Frame2, l.frame2Top);
    SetTop(f.Frame3, l.frame3Top);
    for (int i = 0; i < 3; ++i) SetTop(f.Text1[i + 1], l.text1Top[i]);
    for (QWidget* w :
         {static_cast<QWidget*>(f.Label37), static_cast<QWidget*>(f.Label38),
          static_cast<QWidget*>(f.Label39), static_cast<QWidget*>(f.Check1), static_cast<QWidget*>(f.Check2)})
        SetTop(w, l.bottomRowTop);
    f.setFixedSize(f.width(), Twips(l.clientHeight));
}

}  // namespace quorvane
