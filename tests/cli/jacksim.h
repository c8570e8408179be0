// A korvalen25-sim on the JACK server of the test's fixture, and the CLI run against that
// server: shared by the tests over JACK.
#pragma once

#include "clitest.h"

#include <QProcess>
#include <QStringList>

namespace clitest {

// A korvalen25-sim on the fixture's server, ended with the test.
class Sim {
public:
    explicit Sim(const QStringList& args) {
        process_.setProgram(KORVALEN_SIM);
        process_.setArguments(QStringList{"--midi-api", "jack", "--exit-with-parent"} + args);
        process_.start();
        // No bound of its own: the test's time-out ends a program that never comes up.
        while (process_.state() != QProcess::NotRunning && !process_.canReadLine())
            process_.waitForReadyRead(-1);
        ready_ = process_.canReadLine() && process_.readLine().startsWith("ready ");
    }
    ~Sim() { stop(); }
    Sim(const Sim&) = delete;
    Sim& operator=(const Sim&) = delete;
    bool ready() const { return ready_; }
    void stop() {
        if (process_.state() == QProcess::NotRunning) return;
        process_.terminate();
        process_.waitForFinished(-1);
    }

private:
    QProcess process_;
    bool ready_ = false;
};

inline Result cli(const QStringList& args) {
    return runProgram(KORVALEN_CLI, QStringList{"--midi-api", "jack"} + args);
}

} // namespace clitest
