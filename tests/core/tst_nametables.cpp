// The name tables and the list entry texts built from them, at the entries where a slip of a
// blank, a duplicate or an off-by-one is likely.
#include "nametables.h"

#include <QtTest>

#include <set>

using namespace korvalen;

class TestNameTables : public QObject {
    Q_OBJECT
private slots:
    void controlEntry_data();
    void controlEntry();
    void noteEntry_data();
    void noteEntry();
    void programEntry_data();
    void programEntry();
    void zoneCaption_data();
    void zoneCaption();
    void presetName_data();
    void presetName();
    void tableShape();
};

void TestNameTables::controlEntry_data() {
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("text");
    QTest::newRow("first") << 0 << "0  Bank Select";
    QTest::newRow("7 ChanVolume") << 7 << "7  ChanVolume";
    QTest::newRow("13 Effect 2 no blank") << 13 << "13  Effect 2";
    QTest::newRow("45 Effect 2 trailing blank") << 45 << "45  Effect 2 ";
    QTest::newRow("69 Hold 2 trailing blank") << 69 << "69  Hold 2 ";
    QTest::newRow("84 Portamento again") << 84 << "84  Portamento";
    QTest::newRow("90 last undefined of run") << 90 << "90  Undefined";
    QTest::newRow("91 reverb") << 91 << "91  Reverb Send Level";
    QTest::newRow("122 local ctrl trailing blank") << 122 << "122  Local ctrl on/off ";
    QTest::newRow("127 last controller") << 127 << "127  Poly mode on ";
    QTest::newRow("128 first device function") << 128 << "128  Pitch Bend Sensitive";
    QTest::newRow("135 filter res trailing blank") << 135 << "135  Low Pass Filter Res. ";
    QTest::newRow("148 Start trailing blank") << 148 << "148  Start ";
    QTest::newRow("150 Stop") << 150 << "150  Stop ";
    QTest::newRow("158 Stop duplicate") << 158 << "158  Stop ";
    QTest::newRow("171 last") << 171 << "171  Pitch Bend";
}

void TestNameTables::controlEntry() {
    QFETCH(int, number);
    QFETCH(QString, text);
    QCOMPARE(QString::fromStdString(controlListEntry(number)), text);
}

void TestNameTables::noteEntry_data() {
    QTest::addColumn<int>("note");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("name");
    QTest::newRow("0 lowest octave -1") << 0 << "0    C -1"
                                        << "C -1";
    QTest::newRow("11 end of octave -1") << 11 << "11    B -1"
                                         << "B -1";
    QTest::newRow("12 octave 0") << 12 << "12    C 0"
                                 << "C 0";
    QTest::newRow("60 middle C") << 60 << "60    C 4"
                                 << "C 4";
    QTest::newRow("61 sharp") << 61 << "61    C#4"
                              << "C#4";
    QTest::newRow("127 highest") << 127 << "127    G 9"
                                 << "G 9";
}

void TestNameTables::noteEntry() {
    QFETCH(int, note);
    QFETCH(QString, text);
    QFETCH(QString, name);
    QCOMPARE(QString::fromStdString(noteListEntry(note)), text);
    QCOMPARE(QString::fromStdString(noteName(note)), name);
}

void TestNameTables::programEntry_data() {
    QTest::addColumn<int>("prog");
    QTest::addColumn<QString>("text");
    QTest::newRow("0 first") << 0 << "0 Grand Piano";
    QTest::newRow("14 TubularBells") << 14 << "14 TubularBells";
    QTest::newRow("40 Violin") << 40 << "40 Violin";
    QTest::newRow("100 Brightness duplicate") << 100 << "100 Brightness";
    QTest::newRow("127 last") << 127 << "127 Gunshot";
}

void TestNameTables::programEntry() {
    QFETCH(int, prog);
    QFETCH(QString, text);
    QCOMPARE(QString::fromStdString(programListEntry(prog)), text);
}

void TestNameTables::zoneCaption_data() {
    QTest::addColumn<int>("zoneIndex");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("prog");
    QTest::addColumn<QString>("text");
    QTest::newRow("zone 1 on") << 0 << 1 << 0 << "Zone1:Grand Piano";
    QTest::newRow("zone 3 on violin") << 2 << 1 << 40 << "Zone3:Violin";
    QTest::newRow("zone 2 off") << 1 << 0 << 40 << "Zone2: Closed";
    QTest::newRow("zone 1 off") << 0 << 0 << 0 << "Zone1: Closed";
}

void TestNameTables::zoneCaption() {
    QFETCH(int, zoneIndex);
    QFETCH(int, status);
    QFETCH(int, prog);
    QFETCH(QString, text);
    QCOMPARE(QString::fromStdString(korvalen::zoneCaption(zoneIndex, status, prog)), text);
}

void TestNameTables::presetName_data() {
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("name"); // empty: no preset has this number
    QTest::newRow("0 factory") << 0 << "Korvalen";
    QTest::newRow("1 none") << 1 << "";
    QTest::newRow("15 none") << 15 << "";
    QTest::newRow("16 first user") << 16 << "User P17";
    QTest::newRow("29 last user") << 29 << "User P30";
    QTest::newRow("30 none") << 30 << "";
    QTest::newRow("-1 none") << -1 << "";
}

void TestNameTables::presetName() {
    QFETCH(int, number);
    QFETCH(QString, name);
    const char* found = presetNameFor(number);
    if (name.isEmpty())
        QCOMPARE(found, nullptr);
    else
        QCOMPARE(QString::fromLatin1(found), name);
}

void TestNameTables::tableShape() {
    QCOMPARE(kNameTableSize, 300);
    QCOMPARE(int(std::size(nameTable)), 300);
    QCOMPARE(int(std::size(presetNames)), 15);
    QCOMPARE(int(std::size(noteNames)), 12);
    // Program p sits at 172 + p, right after the last assignment name.
    QCOMPARE(QString(nameTable[kAssignmentCount - 1]), QString("Pitch Bend"));
    QCOMPARE(QString(nameTable[kProgramBase]), QString("Grand Piano"));
    QCOMPARE(QString(nameTable[kNameTableSize - 1]), QString("Gunshot"));
    for (const char* n : noteNames)
        QCOMPARE(int(std::strlen(n)), 2);
    // Duplicates stay where they are.
    for (int i : {5, 37, 65, 84})
        QCOMPARE(QString(nameTable[i]), QString("Portamento"));
    QCOMPARE(QString(nameTable[74]), QString(nameTable[kProgramBase + 100]));
    // Every entry is set.
    for (const char* n : nameTable)
        QVERIFY(n != nullptr && *n != '\0');
}

QTEST_APPLESS_MAIN(TestNameTables)
#include "tst_nametables.moc"
