#include "portwatch.h"

#include "midiplatform.h"

namespace {

QStringList toQt(const std::vector<std::string>& names) {
    QStringList list;
    list.reserve(static_cast<qsizetype>(names.size()));
    for (const std::string& n : names)
        list << QString::fromStdString(n);
    return list;
}

} // namespace

PortWatch::PortWatch(QObject* parent) : QObject(parent) {
    timer_.setInterval(kIntervalMs);
    connect(&timer_, &QTimer::timeout, this, &PortWatch::poll);
}

void PortWatch::watchPair(const QString& input, const QString& output) {
    pairIn_ = input;
    pairOut_ = output;
    lostReported_ = false;
}

bool PortWatch::pairListed(const QStringList& inputs, const QStringList& outputs,
                           const QString& input, const QString& output) {
    return inputs.contains(input) && outputs.contains(output);
}

void PortWatch::poll() {
    auto& midi = korvalen::midi::platform();
    QStringList ins = toQt(midi.inputNames());
    QStringList outs = toQt(midi.outputNames());
    if (ins != inputs_ || outs != outputs_) {
        inputs_ = std::move(ins);
        outputs_ = std::move(outs);
        emit portsChanged(inputs_, outputs_);
    }
    // An output that has gone is new again when it comes back.
    noted_.removeIf([this](const QString& name) { return !outputs_.contains(name); });
    if (watchingPair() && !lostReported_ && !pairListed(inputs_, outputs_, pairIn_, pairOut_)) {
        lostReported_ = true;
        emit pairLost(pairIn_, pairOut_);
    }
    emit polled();
}

QStringList PortWatch::freshOutputs() const {
    QStringList fresh;
    for (const QString& name : outputs_)
        if (!noted_.contains(name)) fresh << name;
    return fresh;
}

void PortWatch::noteOutputs(const QStringList& names) {
    for (const QString& name : names)
        noted_.insert(name);
}

void PortWatch::noteCurrentOutputs() {
    noteOutputs(toQt(korvalen::midi::platform().outputNames()));
}
