// Every label of every page and dialog is readable under a light and under a dark desktop
// palette, and under the real dark GTK theme (gtk-dark.sh): the contrast between its text and
// the background it is drawn on, both taken from a grab of the window, is at least 4.5:1.
#include "everywindow.h"
#include "guitestutil.h"

#include <QLabel>
#include <QPalette>
#include <QStyle>
#include <QTest>

#include <cmath>

using namespace guitest;

namespace {

double luminance(QRgb c) {
    auto channel = [](int v) {
        const double s = v / 255.0;
        return s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(qRed(c)) + 0.7152 * channel(qGreen(c)) + 0.0722 * channel(qBlue(c));
}

double contrast(QRgb a, QRgb b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The palette of a dark desktop theme: light text on dark windows, boxes and buttons.
QPalette darkPalette() {
    QPalette p;
    const QColor window(53, 53, 53), text(238, 238, 236), base(36, 36, 36);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, window);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, window);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, Qt::white);
    p.setColor(QPalette::ToolTipBase, base);
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, QColor(160, 160, 160));
    p.setColor(QPalette::Highlight, QColor(21, 83, 158));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Light, QColor(80, 80, 80));
    p.setColor(QPalette::Midlight, QColor(66, 66, 66));
    p.setColor(QPalette::Mid, QColor(40, 40, 40));
    p.setColor(QPalette::Dark, QColor(27, 27, 27));
    p.setColor(QPalette::Shadow, Qt::black);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, QColor(128, 128, 128));
    return p;
}

// Labels the form keeps in the default text colour on a dark layer, as the picture's own
// drawing: the "1" beside the first zone names nothing.
bool exempt(const QLabel* label) {
    return label->objectName() == QLatin1String("label_11");
}

// "objectName: ratio" for each shown label of `top` whose text stands out less than 4.5:1
// from its background in `grab`; `measured` counts the labels measured.
QStringList unreadable(QWidget* top, const QImage& grab, int* measured) {
    QStringList problems;
    for (QLabel* label : top->findChildren<QLabel*>()) {
        if (label->window() != top || !label->isVisibleTo(top) || !label->isEnabled() ||
            label->text().trimmed().isEmpty() || exempt(label))
            continue;
        // The part of the label that is not covered or cut off, in the grab's pixels.
        const QRegion visible = label->visibleRegion();
        if (visible.isEmpty()) continue;
        const QRect area = visible.boundingRect().translated(label->mapTo(top, QPoint(0, 0)));
        const qreal ratio = grab.devicePixelRatio();
        const QRect pixels(
            QPoint(int(area.left() * ratio), int(area.top() * ratio)),
            QPoint(int((area.right() + 1) * ratio) - 1, int((area.bottom() + 1) * ratio) - 1));
        QHash<QRgb, int> counts;
        for (int y = std::max(0, pixels.top()); y <= std::min(grab.height() - 1, pixels.bottom());
             ++y)
            for (int x = std::max(0, pixels.left());
                 x <= std::min(grab.width() - 1, pixels.right()); ++x)
                ++counts[grab.pixel(x, y) | 0xff000000u];
        if (counts.isEmpty()) continue;
        QRgb background = 0;
        int most = -1;
        for (auto it = counts.cbegin(); it != counts.cend(); ++it)
            if (it.value() > most) {
                most = it.value();
                background = it.key();
            }
        double best = 1.0;
        for (auto it = counts.cbegin(); it != counts.cend(); ++it)
            best = std::max(best, contrast(background, it.key()));
        ++*measured;
        if (best < 4.5)
            problems << QStringLiteral("%1 \"%2\" in %3: %4:1 (background %5)")
                            .arg(label->objectName(), label->text(), top->objectName())
                            .arg(best, 0, 'f', 2)
                            .arg(QColor(background).name());
    }
    return problems;
}

QImage grabOf(QWidget* w) {
    QCoreApplication::processEvents();
    return w->grab().toImage().convertToFormat(QImage::Format_ARGB32);
}

// Every page of `window` and every dialog it opens under the application's palette of now:
// what is unreadable, each line led by `paletteName`.
QStringList unreadableEverywhere(Korvalen49_Test& window, const QString& paletteName) {
    QStringList problems;
    QTemporaryDir dir;
    if (!dir.isValid()) return {paletteName + QStringLiteral(": no temporary folder")};
    qputenv("XDG_DATA_HOME", dir.filePath(QStringLiteral("data")).toUtf8());
    int measured = 0;
    for (int page = 0; page < 6; ++page) {
        everywindow::showPage(&window, page);
        const QImage grab = grabOf(&window);
        for (const QString& p : unreadable(&window, grab, &measured))
            problems << paletteName + QStringLiteral(", page %1: ").arg(page) + p;
    }
    const auto dialogs = everywindow::openDialogs(window, dir);
    for (const auto& d : dialogs) {
        if (!d.widget) {
            problems << paletteName + QStringLiteral(": ") + d.name +
                            QStringLiteral(" did not open");
            continue;
        }
        const QImage grab = grabOf(d.widget);
        for (const QString& p : unreadable(d.widget, grab, &measured))
            problems << paletteName + QStringLiteral(": ") + p;
        d.widget->close();
    }
    // Every panel label of the six pages and the labels of the dialogs.
    if (measured <= 150)
        problems << paletteName + QStringLiteral(": only %1 labels measured").arg(measured);
    return problems;
}

} // namespace

class ContrastTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QApplication::setStyle(QStringLiteral("Fusion"));
        useQuietController();
    }

    // The measure itself: black on white passes, the light grey of a dark theme on white
    // does not.
    void measure() {
        QCOMPARE(std::round(contrast(qRgb(0, 0, 0), qRgb(255, 255, 255))), 21.0);
        QVERIFY(contrast(qRgb(238, 238, 236), qRgb(255, 255, 255)) < 1.2);
        QVERIFY(contrast(qRgb(118, 118, 118), qRgb(255, 255, 255)) >= 4.5);
        QVERIFY(contrast(qRgb(119, 119, 119), qRgb(255, 255, 255)) < 4.5);
    }

    void everyLabelUnderLightAndDark() {
        auto window = shownWindow();
        QVERIFY(window);
        window->buildAllPages();
        const QPalette light = QApplication::palette();
        QStringList problems;
        for (const auto& [paletteName, palette] :
             {std::pair{QStringLiteral("light"), light},
              std::pair{QStringLiteral("dark"), darkPalette()}}) {
            QApplication::setPalette(palette);
            problems << unreadableEverywhere(*window, paletteName);
        }
        QApplication::setPalette(light);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
    }

    // The same under the desktop's own theme, as the platform theme gives it: run by
    // gui.test_contrast_gtk_dark under GTK's dark Adwaita, which first has to have taken.
    void everyLabelUnderTheDesktopTheme() {
        const QByteArray expected = qgetenv("KORVALEN_DESKTOP_THEME");
        if (expected.isEmpty())
            QSKIP("runs under a desktop theme only (gui.test_contrast_gtk_dark)");
        QCOMPARE(expected, QByteArray("dark"));
        const QPalette theme = QApplication::palette();
        const QColor window = theme.color(QPalette::Window);
        const QColor text = theme.color(QPalette::WindowText);
        QVERIFY2(window.lightness() < 100 && text.lightness() > 160,
                 qPrintable(QStringLiteral("the dark theme did not take: window %1, text %2 "
                                           "(platform %3)")
                                .arg(window.name(), text.name(), QApplication::platformName())));
        auto editor = shownWindow();
        QVERIFY(editor);
        editor->buildAllPages();
        // The window itself has the theme's colours, not a palette of its own.
        QCOMPARE(editor->palette().color(QPalette::Window), window);
        const QStringList problems = unreadableEverywhere(*editor, QStringLiteral("desktop"));
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
    }
};

QTEST_MAIN(ContrastTest)
#include "test_contrast.moc"
