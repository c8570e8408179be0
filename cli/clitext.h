// The command line's texts go through CliText::tr() (korvalen25-cli has no QObject of its
// own), so that a translation installed at start finds them all under one context.
#pragma once

#include <QCoreApplication>

class CliText {
    Q_DECLARE_TR_FUNCTIONS(CliText)
};
