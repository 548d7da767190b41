// A file's whole content, read or written by a test: byte for byte, and a
// missing file reads as "<missing>", which no test expects.
#pragma once

#include <QFile>
#include <QTest>

namespace quorvane::test {

inline QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

inline void WriteAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

}  // namespace quorvane::test
