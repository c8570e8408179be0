// The MIME type of preset files as a desktop sees it once the package is installed: the type's
// definition read by Qt's MIME database from a data folder of its own, and the desktop entry
// that opens files of the type with the editor.
#include <QFile>
#include <QMimeDatabase>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kType = QStringLiteral("application/x-korvalen25-preset");

// The first bytes of what the editor's "Save to file" writes.
QByteArray presetBytes() {
    QByteArray bytes("KORVALEN25");
    bytes.append(QByteArray(338, '\x01'));
    return bytes;
}

} // namespace

class MimeTypeTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void typeOfAFile_data();
    void typeOfAFile();
    void theTypesDescription();
    void desktopEntryOpensTheType();

private:
    QTemporaryDir data_; // share/mime/packages with the package's file, as installed
    QTemporaryDir files_;
};

void MimeTypeTest::initTestCase() {
    QVERIFY(data_.isValid() && files_.isValid());
    QVERIFY(QDir(data_.path()).mkpath(QStringLiteral("mime/packages")));
    QVERIFY(QFile::copy(QStringLiteral(KORVALEN_MIME_XML),
                        data_.filePath(QStringLiteral("mime/packages/korvalen25.xml"))));
    // Only this folder and Qt's own database: nothing that the machine has installed.
    qputenv("XDG_DATA_DIRS", QFile::encodeName(data_.path()));
    qputenv("XDG_DATA_HOME", QFile::encodeName(files_.filePath(QStringLiteral("home"))));
}

void MimeTypeTest::typeOfAFile_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("preset");

    QTest::newRow("a preset file") << "lead.sav" << presetBytes() << true;
    QTest::newRow("a backup file, upper case name") << "P17.SAV" << presetBytes() << true;
    QTest::newRow("a preset under another name, by its signature")
        << "lead.bin" << presetBytes() << true;
    QTest::newRow("a preset without a name ending, by its signature")
        << "lead" << presetBytes() << true;
    QTest::newRow("a .sav file of another program, by its name")
        << "game.sav" << QByteArray(348, '\x07') << true;
    QTest::newRow("a text file") << "notes.txt" << QByteArray("Presets of the Korvalen25\n")
                                 << false;
    QTest::newRow("another signature")
        << "other.bin" << QByteArray("KORVALEX25") + QByteArray(338, 1) << false;
    QTest::newRow("the signature later in the file")
        << "late.bin" << QByteArray(4, '\x01') + presetBytes() << false;
}

void MimeTypeTest::typeOfAFile() {
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, preset);
    const QString path = files_.filePath(name);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();

    const QMimeDatabase db;
    const QMimeType type = db.mimeTypeForFile(path);
    QCOMPARE(type.name() == kType, preset);
    if (preset && !name.contains('.')) {
        // No name to go by: the content alone.
        QCOMPARE(db.mimeTypeForData(bytes).name(), kType);
    }
}

void MimeTypeTest::theTypesDescription() {
    const QMimeType type = QMimeDatabase().mimeTypeForName(kType);
    QVERIFY(type.isValid());
    QCOMPARE(type.comment(), QStringLiteral("Korvalen25 preset"));
    QCOMPARE(type.globPatterns(), QStringList{QStringLiteral("*.sav")});
    QCOMPARE(type.preferredSuffix(), QStringLiteral("sav"));
}

void MimeTypeTest::desktopEntryOpensTheType() {
    QSettings entry(QStringLiteral(KORVALEN_DESKTOP_ENTRY), QSettings::IniFormat);
    entry.beginGroup(QStringLiteral("Desktop Entry"));
    // A list ends in ';', which QSettings reads as one value or a list of one.
    const QString types = entry.value(QStringLiteral("MimeType")).toStringList().join(';');
    QVERIFY2(types.split(';', Qt::SkipEmptyParts).contains(kType), qPrintable(types));
    // The file manager hands the file over as the one argument the editor opens.
    const QString exec = entry.value(QStringLiteral("Exec")).toString();
    QCOMPARE(exec, QStringLiteral("korvalen25-editor %f"));
}

QTEST_GUILESS_MAIN(MimeTypeTest)
#include "test_mimetype.moc"
