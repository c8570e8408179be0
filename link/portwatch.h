// Watches the backend's port list from the GUI thread: a cheap reading of the port names about
// once a second. It tells when the list changes and when a watched pair of ports (the
// controller's input and output) is no longer in it.
#pragma once

#include <QObject>
#include <QSet>
#include <QStringList>
#include <QTimer>

class PortWatch : public QObject {
    Q_OBJECT

public:
    static constexpr int kIntervalMs = 1000;

    explicit PortWatch(QObject* parent = nullptr);

    // The pair to look for; empty names watch no pair. A pair that is watched and not found
    // is reported once by pairLost(), until a pair is set again.
    void watchPair(const QString& input, const QString& output);
    void clearPair() { watchPair({}, {}); }
    bool watchingPair() const { return !pairIn_.isEmpty(); }

    void start() { timer_.start(); }
    void stop() { timer_.stop(); }
    bool isActive() const { return timer_.isActive(); }
    void setInterval(int milliseconds) { timer_.setInterval(milliseconds); }

    const QStringList& inputs() const { return inputs_; }
    const QStringList& outputs() const { return outputs_; }

    // Hot-plug: the outputs of the last reading that have not been noted, in list order. An
    // output that is noted and then vanishes is forgotten, so it counts as new when it comes
    // back.
    QStringList freshOutputs() const;
    // The outputs have been searched (or are to be left alone).
    void noteOutputs(const QStringList& names);
    // The same for every output the backend lists now.
    void noteCurrentOutputs();

    // True when `input` is among `inputs` and `output` among `outputs`.
    static bool pairListed(const QStringList& inputs, const QStringList& outputs,
                           const QString& input, const QString& output);

public slots:
    // Reads the names now (the timer calls it).
    void poll();

signals:
    void portsChanged(const QStringList& inputs, const QStringList& outputs);
    void pairLost(const QString& input, const QString& output);
    void polled(); // after every reading

private:
    QTimer timer_;
    QStringList inputs_;
    QStringList outputs_;
    QSet<QString> noted_;
    QString pairIn_;
    QString pairOut_;
    bool lostReported_ = false;
};
