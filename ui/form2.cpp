#include "form2.h"

#include "accessibility.h"
#include "calc.h"
#include "geometry.h"
#include "module1.h"
#include "qttext.h"

namespace quorvane {
namespace {
QString WebAddress() {
    return FromUtf8(kWebAddress);
}
}  // namespace

Form2::Form2(Shell& shell, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::MSWindowsFixedSizeDialogHint |
                          Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      shell_(shell) {
    InstallAccessibleRoles();
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("版权信息"));
    setFixedSize(Twips(kForm2ClientWidth), Twips(kForm2ClientHeight));
    BuildControls(kForm2Window, this, controls_);
    ApplyTabOrder(kForm2TabOrder, controls_);
    Label1 = static_cast<ClickLabel*>(controls_.value("Label1"));
    Label2 = static_cast<ClickLabel*>(controls_.value("Label2"));
    Label3 = static_cast<ClickLabel*>(controls_.value("Label3"));
    Command1 = static_cast<QPushButton*>(controls_.value("Command1"));
    Label3->setText(Label3->text() + WebAddress());
    Label3->setCursor(Qt::PointingHandCursor);
    Command1->setFocus();
    connect(Label3, &ClickLabel::clicked, this, &Form2::Label3_Click);
    connect(Command1, &QPushButton::clicked, this, &Form2::Command1_Click);
}

void Form2::Form_Load() { SetTopmost(this); }

void Form2::Label3_Click() {
    QString reason;
    if (!shell_.OpenWebAddress(WebAddress(), &reason))
        shell_.ShowMessage(this, QStringLiteral("无法打开网址 %1:%2").arg(WebAddress(), reason), Buttons::Ok);
}

void Form2::Command1_Click() { close(); }

}  // namespace quorvane
