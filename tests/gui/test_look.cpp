// The forms look as stored, pixel for pixel: the six pages of the main window and the two
// dialogs, grabbed on the offscreen platform with fixed fonts, style and state and compared
// with the pictures in tests/gui/look. A change of the forms' code that is not meant to change
// their look must leave every pixel alone.
#include "formgrabs.h"

#include <QDir>
#include <QFontDatabase>
#include <QHash>
#include <QImage>
#include <QRect>
#include <QTest>

namespace {

// The reference dimmed to grey with every differing pixel in red.
QImage diffPicture(const QImage& expected, const QImage& actual, int* count, QRect* box) {
    QImage diff(expected.size(), QImage::Format_ARGB32);
    *count = 0;
    *box = QRect();
    for (int y = 0; y < expected.height(); ++y) {
        const auto* e = reinterpret_cast<const QRgb*>(expected.constScanLine(y));
        const auto* a = reinterpret_cast<const QRgb*>(actual.constScanLine(y));
        auto* d = reinterpret_cast<QRgb*>(diff.scanLine(y));
        for (int x = 0; x < expected.width(); ++x) {
            if (e[x] != a[x]) {
                d[x] = qRgb(255, 0, 0);
                ++*count;
                *box |= QRect(x, y, 1, 1);
            } else {
                const int grey = 128 + qGray(e[x]) / 4;
                d[x] = qRgb(grey, grey, grey);
            }
        }
    }
    return diff;
}

} // namespace

class LookTest : public QObject {
    Q_OBJECT

public:
    static void initMain() { formgrabs::fixEnvironment(KORVALEN_LOOK_FONTS); }

private slots:
    void initTestCase();
    void formLooksAsStored_data();
    void formLooksAsStored();

private:
    QHash<QString, QImage> grabs_;
    QDir mismatch_{QStringLiteral(KORVALEN_LOOK_MISMATCH)};
};

void LookTest::initTestCase() {
    // Pictures of an earlier failing run would only mislead.
    mismatch_.removeRecursively();
    QVERIFY2(QFile::exists(QStringLiteral("logo.bmp")),
             "the test runs in the folder that holds logo.bmp");
    for (const char* family : {"DejaVu Sans", "Liberation Serif"})
        QVERIFY2(QFontDatabase::hasFamily(QString::fromLatin1(family)),
                 qPrintable(QStringLiteral("font %1 missing: run scripts/install-deps.sh")
                                .arg(QLatin1String(family))));
    QString error;
    for (const formgrabs::Grab& grab : formgrabs::grabForms(&error))
        grabs_.insert(grab.name, grab.image);
    QVERIFY2(error.isEmpty(), qPrintable(error));
}

void LookTest::formLooksAsStored_data() {
    QTest::addColumn<QString>("name");
    for (const QString& name : formgrabs::grabNames())
        QTest::newRow(qPrintable(name)) << name;
}

void LookTest::formLooksAsStored() {
    QFETCH(QString, name);
    const QString stored = QDir(QStringLiteral(KORVALEN_LOOK_DIR)).filePath(name + ".png");
    const QImage expected = QImage(stored).convertToFormat(QImage::Format_ARGB32);
    QVERIFY2(!expected.isNull(), qPrintable(QStringLiteral("cannot read ") + stored));
    QVERIFY2(grabs_.contains(name), "not grabbed");
    const QImage actual = grabs_.value(name);
    if (actual == expected) return;

    QVERIFY(mismatch_.mkpath(QStringLiteral(".")));
    const QString grabFile = mismatch_.filePath(name + ".png");
    QVERIFY(actual.save(grabFile));
    if (actual.size() != expected.size()) {
        QFAIL(qPrintable(QStringLiteral("%1 is %2x%3, stored %4x%5; grab in %6")
                             .arg(name)
                             .arg(actual.width())
                             .arg(actual.height())
                             .arg(expected.width())
                             .arg(expected.height())
                             .arg(grabFile)));
    }
    int count = 0;
    QRect box;
    const QString diffFile = mismatch_.filePath(name + "-diff.png");
    QVERIFY(diffPicture(expected, actual, &count, &box).save(diffFile));
    QFAIL(qPrintable(QStringLiteral("%1: %2 pixels differ within x %3-%4, y %5-%6; grab in %7, "
                                    "differences in red in %8")
                         .arg(name)
                         .arg(count)
                         .arg(box.left())
                         .arg(box.right())
                         .arg(box.top())
                         .arg(box.bottom())
                         .arg(grabFile, diffFile)));
}

QTEST_MAIN(LookTest)
#include "test_look.moc"
