// The editor's logo wherever the editor is started: from the working directory when a
// "logo.bmp" is there, else the copy compiled into the program.
#include "identitycontroller.h"
#include "korvalen49_test.h"

#include <QColor>
#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

class LogoTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { testsupport::useIdentityController(); }
    void logoWhereverStarted_data();
    void logoWhereverStarted();
};

void LogoTest::logoWhereverStarted_data() {
    QTest::addColumn<bool>("ownLogoInFolder");
    QTest::newRow("folder without logo.bmp: the built-in logo") << false;
    QTest::newRow("folder with a logo.bmp: that one") << true;
}

void LogoTest::logoWhereverStarted() {
    QFETCH(bool, ownLogoInFolder);
    const QImage builtIn(QStringLiteral(":/korvalen/logo.bmp"));
    QVERIFY(!builtIn.isNull());

    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QImage own(builtIn.size(), QImage::Format_RGB32);
    own.fill(QColor(200, 0, 0));
    if (ownLogoInFolder) QVERIFY(own.save(folder.filePath(QStringLiteral("logo.bmp")), "BMP"));

    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(folder.path()));
    Korvalen49_Test window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto* logo = window.findChild<QWidget*>(QStringLiteral("widget"));
    QVERIFY(logo != nullptr);
    const QImage grab = logo->grab().toImage();
    QDir::setCurrent(before);

    const QImage& expected = ownLogoInFolder ? own : builtIn;
    QCOMPARE(grab.size(), expected.size());
    // Every pixel: the picture shown is the whole expected logo, not the background colour.
    int differing = 0;
    for (int y = 0; y < expected.height(); ++y)
        for (int x = 0; x < expected.width(); ++x)
            if (grab.pixelColor(x, y) != expected.pixelColor(x, y)) ++differing;
    QCOMPARE(differing, 0);
}

QTEST_MAIN(LogoTest)
#include "test_logo.moc"
