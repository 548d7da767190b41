// Quorvane's window layer.
//
// Data flow: the user types into the input boxes Text(i) and Text2; every change runs
// Text_Change / Text2_Change, which empty (or reset) a box that breaks its
// rule. A compute button reads the texts -> EvaluateBeam (calc/) ->
// LoadResults, each result text shown in Text1(0..3) the moment it is made,
// then Text3 -> WriteCalculationReport. Copy reads Text3 -> CopiedLoadText
// -> clipboard. Everything that blocks or leaves the process (message boxes,
// viewer, browser) goes through Shell (shell.h).
#pragma once

#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QWidget>

#include <array>
#include <vector>

#include "controls.h"
#include "loads.h"
#include "panelmodes.h"
#include "shell.h"

namespace quorvane {

class Form2;

class Form1 : public QWidget {
    Q_OBJECT
public:
    // reportPath: where the calculation report lives; shell: the seam.
    Form1(const QString& reportPath, Shell& shell, QWidget* parent = nullptr);

    // A control by its design name: "Label5", "Label12(0)", "Text(3)".
    QWidget* control(const QString& name) const { return controls_.value(name); }
    // The focusable controls in tab-index order.
    const std::vector<QWidget*>& tabOrder() const { return tabOrder_; }
    // The About window while it is open.
    Form2* aboutWindow() const;

    std::array<QLineEdit*, kBoxCount> Text{};
    std::array<QLineEdit*, kResultCount> Text1{};
    QLineEdit* Text2 = nullptr;
    QLineEdit* Text3 = nullptr;
    Frame* Frame1 = nullptr;
    Frame* Frame2 = nullptr;
    Frame* Frame3 = nullptr;
    ClickLabel* Label37 = nullptr;
    ClickLabel* Label38 = nullptr;
    ClickLabel* Label39 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command3 = nullptr;
    QPushButton* Command4 = nullptr;
    QPushButton* Command5 = nullptr;
    QPushButton* Command6 = nullptr;
    QPushButton* Command7 = nullptr;
    QPushButton* Command8 = nullptr;
    CaptionlessCheckBox* Check1 = nullptr;
    CaptionlessCheckBox* Check2 = nullptr;

public slots:
    // Start-up's part in the window: report file, then the initial mode.
    void Form_Load();
    void Text_Change(int Index);
    void Text2_Change();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void Command6_Click();
    void Command7_Click();
    void Command8_Click();
    void Check1_Click();
    void Check2_Click();
    void Label37_Click();
    // A beam from the 梁表 window (在计算器中打开) in the boxes, its old
    // results gone, the window brought to the front.
    void TakeBeam(const quorvane::HandedBeam& beam);
    // This window's beam to the 梁表 window (发送到梁表, Ctrl+Shift+L or the
    // window's context menu).
    void SendToSchedule();
    // The GB 50009-2012 materials of a unit-weight box (常用材料, on the
    // box's context menu, Shift+F10 or the menu key from the keyboard):
    // picking one puts its figure in the box (a range's upper figure) and
    // names it in the box's tooltip; typing another figure drops the name.
    // Null for a box the table gives nothing for.
    QMenu* MaterialMenu(std::size_t box, QWidget* parent);
    // Names box's material (empty name: none) in its tooltip and accessible description.
    static void NameMaterial(QLineEdit* box, std::size_t index, const QString& name);

private:
    void FindControls();
    void ConnectControls();
    void OfferMaterials();
    void ApplyPanelMode(PanelMode mode);
    static void ShowResult(QLineEdit* box, const QString& text);
    void ComputeAndReport();
    void ViewReport();
    void CopyLoad();
    void AskToExit();
    void ShowMessage(const QString& text);

    QString reportPath_;
    Shell& shell_;
    ControlMap controls_;
    std::vector<QWidget*> tabOrder_;
    QPointer<Form2> about_;
};

}  // namespace quorvane
