#include <QtTest>

#include <QFile>

#include "materials.h"
#include "params.h"

using namespace quorvane;

class TestMaterials : public QObject {
    Q_OBJECT

private slots:
    // The built-in table is the data file, row for row and figure for figure.
    void builtInTableIsTheStandardsFile() {
        QFile file(QStringLiteral(QUORVANE_TABLE_A));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QStringList rows;
        for (const QString& line : QString::fromUtf8(file.readAll()).split('\n'))
            if (!line.trimmed().isEmpty() && !line.startsWith('#')) rows << line.trimmed();
        rows.removeFirst();  // the header
        QCOMPARE(qsizetype(TableA().size()), rows.size());
        for (std::size_t i = 0; i < TableA().size(); ++i) {
            const Material& m = TableA()[i];
            const QString built = QString::fromStdString(m.field + "," + std::to_string(m.item) + "," + m.name + "," +
                                                         m.low + "," + m.high + "," + m.unit + "," + m.remark);
            QCOMPARE(built, rows[int(i)]);
            QVERIFY2(m.Low() > 0 && m.Low() <= m.High(), m.name.c_str());
        }
    }

    // Each row gives an input the program has, in that input's unit.
    void everyRowIsInItsFieldsUnit() {
        int rows = 0;
        for (std::size_t i = 0; i < kInputCount; ++i) {
            const std::string_view unit = kParams[i].unit;
            for (const Material* m : MaterialsFor(i)) {
                ++rows;
                const char* wanted = unit == "KN/M^3" ? "kN/m³" : unit == "KN/M^2" ? "kN/m²" : "?";
                QVERIFY2(m->unit == wanted, (m->name + " for " + std::string(kParams[i].field)).c_str());
            }
        }
        // Every row reached through some input (the plaster rows through both plaster densities).
        const auto plaster = MaterialsFor(std::size_t(FindParam("WallPlasterDensity"))).size();
        QCOMPARE(std::size_t(rows), TableA().size() + plaster);
        for (const char* field : {"BeamDensity", "WallDensity", "BeamPlasterDensity", "WallPlasterDensity",
                                  "DoorAreaWeight", "WindowAreaWeight"})
            QVERIFY2(!MaterialsFor(std::size_t(FindParam(field))).empty(), field);
        QVERIFY(MaterialsFor(std::size_t(FindParam("BeamWidth"))).empty());
    }

    void rangesHoldTheirFigures() {
        const auto wall = std::size_t(FindParam("WallDensity"));
        QStringList names;
        for (const Material* m : MaterialsHolding(wall, 18)) names << QString::fromStdString(m->name);
        QVERIFY(names.contains("普通砖") && names.contains("浆砌普通砖") && names.contains("煤渣砖"));
        QVERIFY(MaterialsHolding(wall, 30).empty());
        QVERIFY(!MaterialsHolding(std::size_t(FindParam("BeamDensity")), 25).empty());
        QVERIFY(MaterialsHolding(std::size_t(FindParam("DoorAreaWeight")), 0.3).empty());  // between 木门 and 钢铁门
    }
};

QTEST_MAIN(TestMaterials)
#include "tst_materials.moc"
