#include "handoff.h"

#include <algorithm>

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileSystemWatcher>
#include <QLockFile>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTimer>
#include <QUuid>

#include "qttext.h"

namespace quorvane {
namespace {

const QString kLock = QStringLiteral("receiving.lock");
const QString kSuffix = QStringLiteral(".beam");

// One line per field: a line break typed into a mark would start another.
std::string OneLine(std::string text) {
    for (char& c : text)
        if (c == '\n' || c == '\r') c = ' ';
    return text;
}

}  // namespace

QString InboxFolder(Inbox inbox) {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/Quorvane/") +
           (inbox == Inbox::Schedule ? QStringLiteral("inbox-schedule") : QStringLiteral("inbox-calculator"));
}

std::string BeamFileText(const HandedBeam& beam) {
    std::string text = "Mark=" + OneLine(beam.mark) + "\n";
    for (std::size_t i = 0; i < kInputCount; ++i)
        text += std::string(kParams[i].field) + "=" + OneLine(beam.texts[i]) + "\n";
    for (std::size_t k = 0; k < beam.materials.size(); ++k)
        if (!beam.materials[k].empty()) text += std::string(kMaterialFields[k].field) + "=" + OneLine(beam.materials[k]) + "\n";
    return text;
}

HandedBeam ReadBeamFile(const std::string& text) {
    HandedBeam beam;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        const std::string field = line.substr(0, equals);
        std::string value = line.substr(equals + 1);
        if (!value.empty() && value.back() == '\r') value.pop_back();
        const auto material = std::find_if(std::begin(kMaterialFields), std::end(kMaterialFields),
                                           [&field](const MaterialField& f) { return field == f.field; });
        if (field == "Mark")
            beam.mark = std::move(value);
        else if (material != std::end(kMaterialFields))
            beam.materials[static_cast<std::size_t>(material - std::begin(kMaterialFields))] = std::move(value);
        else
            beam.texts.Set(field, std::move(value));
    }
    return beam;
}

bool SendBeam(Inbox inbox, const HandedBeam& beam, const QString& program, QString* reason) {
    const QString folder = InboxFolder(inbox);
    // Named by the time, so that beams sent one after another arrive in that order.
    const QString name = QStringLiteral("%1-%2%3")
                             .arg(QDateTime::currentMSecsSinceEpoch(), 16, 10, QLatin1Char('0'))
                             .arg(QUuid::createUuid().toString(QUuid::Id128))
                             .arg(kSuffix);
    QSaveFile file(folder + "/" + name);
    const std::string text = BeamFileText(beam);
    if (!QDir().mkpath(folder) || !file.open(QIODevice::WriteOnly) ||
        file.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size()) ||
        !file.commit()) {
        if (reason) *reason = QStringLiteral("无法写入“%1”:%2").arg(QDir::toNativeSeparators(folder), file.errorString());
        return false;
    }
    QLockFile lock(folder + "/" + kLock);
    if (program.isEmpty() || !lock.tryLock(0)) return true;  // a copy is receiving: it takes the beam
    lock.unlock();
    if (QProcess::startDetached(program, {})) return true;
    QFile::remove(folder + "/" + name);
    if (reason) *reason = QStringLiteral("无法启动“%1”。").arg(QDir::toNativeSeparators(program));
    return false;
}

BeamReceiver::BeamReceiver(Inbox inbox, QObject* parent) : QObject(parent), folder_(InboxFolder(inbox)) {
    QDir().mkpath(folder_);
    auto lock = std::make_unique<QLockFile>(folder_ + "/" + kLock);
    if (!lock->tryLock(0)) return;  // another copy receives
    lock_ = std::move(lock);
    watcher_ = new QFileSystemWatcher({folder_}, this);
    connect(watcher_, &QFileSystemWatcher::directoryChanged, this, [this] { TakeWaiting(); });
    QTimer::singleShot(0, this, [this] { TakeWaiting(); });
}

BeamReceiver::~BeamReceiver() = default;

void BeamReceiver::TakeWaiting() {
    const QStringList waiting = QDir(folder_).entryList({QStringLiteral("*") + kSuffix}, QDir::Files, QDir::Name);
    for (const QString& name : waiting) {
        // Taken by renaming: a file being written is not there yet (QSaveFile), and it is read once.
        const QString taken = folder_ + "/" + name + QStringLiteral(".taken");
        if (!QFile::rename(folder_ + "/" + name, taken)) continue;
        QFile file(taken);
        const bool read = file.open(QIODevice::ReadOnly);
        const QByteArray bytes = read ? file.readAll() : QByteArray();
        file.close();
        QFile::remove(taken);
        if (read) emit beamArrived(ReadBeamFile(bytes.toStdString()));
    }
}

}  // namespace quorvane
