// Writes the pictures of the editor's forms that the look test compares with:
//   grab_forms [OUTDIR]
// gives OUTDIR/main-page0.png ... main-page5.png, upload.png and upgrade.png (OUTDIR defaults
// to the stored pictures, tests/gui/look). Run it in a folder that holds logo.bmp, as the look
// test does, after a change to the forms that is meant to change their look.
#include "formgrabs.h"

#include <QDir>

#include <cstdio>

int main(int argc, char* argv[]) {
    formgrabs::fixEnvironment(KORVALEN_LOOK_FONTS);
    QApplication app(argc, argv);
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1])
                            : QString::fromUtf8(KORVALEN_LOOK_DIR));
    if (!out.exists()) {
        std::fprintf(stderr, "grab_forms: %s does not exist\n", qPrintable(out.path()));
        return 1;
    }
    QString error;
    const QList<formgrabs::Grab> grabs = formgrabs::grabForms(&error);
    int failures = 0;
    for (const formgrabs::Grab& grab : grabs) {
        const QString file = out.filePath(grab.name + QStringLiteral(".png"));
        if (grab.image.save(file)) {
            std::printf("%s\n", qPrintable(file));
        } else {
            std::fprintf(stderr, "grab_forms: cannot write %s\n", qPrintable(file));
            ++failures;
        }
    }
    if (!error.isEmpty()) std::fprintf(stderr, "grab_forms: %s\n", qPrintable(error));
    return failures == 0 && error.isEmpty() ? 0 : 1;
}
