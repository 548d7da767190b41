// A beam handed between the two windows — the calculator's 发送到梁表 and
// the 梁表's 在计算器中打开 — through an inbox folder of each program
// beside the settings: the sender leaves a small file (Mark=… and one
// Field=text line per input, UTF-8) and starts the program when no copy
// of it holds the inbox; the receiver takes each file as it comes.
#pragma once

#include <QObject>
#include <QString>

#include <array>
#include <iterator>
#include <memory>
#include <string>

#include "materials.h"
#include "params.h"

class QFileSystemWatcher;
class QLockFile;

namespace quorvane {

struct HandedBeam {
    std::string mark;
    BeamTexts texts;
    // The material named for each weight, by kMaterialFields (empty: none).
    std::array<std::string, std::size(kMaterialFields)> materials;
};

enum class Inbox { Schedule, Calculator };

QString InboxFolder(Inbox inbox);

// The beam left in inbox; program (when given) started if no copy is
// receiving. False with a reason when the beam could not be left or the
// program not started.
bool SendBeam(Inbox inbox, const HandedBeam& beam, const QString& program, QString* reason);

// The file's text, and back (a field the table does not know is skipped).
std::string BeamFileText(const HandedBeam& beam);
HandedBeam ReadBeamFile(const std::string& text);

// The receiving side, for as long as it lives: beams already waiting come
// just after it starts, the others as they are left.
class BeamReceiver : public QObject {
    Q_OBJECT
public:
    explicit BeamReceiver(Inbox inbox, QObject* parent = nullptr);
    ~BeamReceiver() override;
    bool receiving() const { return lock_ != nullptr; }

signals:
    void beamArrived(const quorvane::HandedBeam& beam);

private:
    void TakeWaiting();
    QString folder_;
    std::unique_ptr<QLockFile> lock_;
    QFileSystemWatcher* watcher_ = nullptr;
};

}  // namespace quorvane
