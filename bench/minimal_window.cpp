// The floor for start-up: a plain Qt 6 window with as many widgets as
// Quorvane's main window (3 frames, 23 text boxes, 43 labels, 8 buttons,
// 2 check boxes), doing nothing else.
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Minimal window"));
    window.setFixedSize(469, 406);
    QWidget* frames[3];
    for (int i = 0; i < 3; ++i) {
        frames[i] = new QWidget(&window);
        frames[i]->setGeometry(16, 8 + i * 130, 433, 120);
    }
    for (int i = 0; i < 23; ++i)
        (new QLineEdit(QStringLiteral("200"), frames[i % 3]))
            ->setGeometry(10 + (i % 5) * 80, 10 + (i / 5) * 22, 65, 18);
    for (int i = 0; i < 43; ++i)
        (new QLabel(QStringLiteral("宽度"), frames[i % 3]))
            ->setGeometry(5 + (i % 8) * 50, 5 + (i / 8) * 20, 40, 17);
    for (int i = 0; i < 8; ++i)
        (new QPushButton(QStringLiteral("确定(&S)"), frames[i % 3]))
            ->setGeometry(10 + (i % 4) * 100, 90, 97, 25);
    for (int i = 0; i < 2; ++i) (new QCheckBox(&window))->setGeometry(270 + i * 100, 390, 17, 12);
    window.show();
    return app.exec();
}
