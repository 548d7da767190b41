#include <QtTest>

#include <QFile>

#include "beam.h"
#include "checks.h"
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

    // What a checker is told of a computed beam: nothing for an ordinary one.
    void checkerNotes_data() {
        QTest::addColumn<QString>("overrides");
        QTest::addColumn<QStringList>("notes");
        QTest::newRow("the window's own beam") << "" << QStringList();
        QTest::newRow("a window wider than the beam")
            << "WindowWidth=100000"
            << QStringList{"砌体自重 -168.7 不大于零", "梁上总恒载 -165.792 不大于零",
                           "广厦结构CAD应输入 -168.292 不大于零", "窗宽度 100000 大于梁长度 3600"};
        QTest::newRow("a storey no higher than the beam") << "WallHeight=500" << QStringList{
            "砌体自重 0 不大于零", "墙高度 500 不大于梁高度 500:梁上没有墙"};
        QTest::newRow("a door taller than the wall over the beam") << "DoorWidth=900;DoorHeight=2600"
                                                                << QStringList{"门高度 2600 大于梁上的墙高"};
        QTest::newRow("door and window wider together than the beam")
            << "DoorWidth=2000;WindowWidth=2000" << QStringList{"门窗宽度之和大于梁长度 3600"};
        QTest::newRow("a ratio over one") << "ReductionRatio=1.2" << QStringList{"折算比例 1.2 不在 (0, 1] 之内"};
        QTest::newRow("a wall heavier than any masonry in the table")
            << "WallDensity=30" << QStringList{"墙密度 30 超出 GB 50009-2012 表A 所列材料的范围 (4.0–25.0 kN/m³)"};
        QTest::newRow("no window: its weight is not looked at") << "WindowWidth=0;WindowAreaWeight=9" << QStringList();
    }

    void checkerNotes() {
        QFETCH(QString, overrides);
        QFETCH(QStringList, notes);
        BeamTexts texts;
        for (const QString& pair : overrides.split(';', Qt::SkipEmptyParts))
            QVERIFY(texts.Set(pair.section('=', 0, 0).toStdString(), pair.section('=', 1).toStdString()));
        const BeamOutcome beam = EvaluateBeam(texts);
        QVERIFY2(beam.computed(), beam.error.c_str());
        QStringList got;
        for (const std::string& note : CheckerNotes(texts.Views(), beam.calculation)) got << QString::fromStdString(note);
        QCOMPARE(got, notes);
    }
};

QTEST_MAIN(TestMaterials)
#include "tst_materials.moc"
