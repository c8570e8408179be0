#include "portsdialog.h"

#include "accessibility.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

using korvalen::midi::OpenFailure;
using korvalen::midi::PortState;

namespace {

const PortState* findPort(const std::vector<PortState>& ports, const QString& name) {
    const std::string wanted = name.toStdString();
    const auto it = std::find_if(ports.begin(), ports.end(),
                                 [&](const PortState& p) { return p.name == wanted; });
    return it == ports.end() ? nullptr : &*it;
}

QString openFailureText(OpenFailure failure) {
    switch (failure) {
    case OpenFailure::InUse:
        return PortsDialog::tr("could not be opened (in use by another program?)");
    case OpenFailure::Gone:
        return PortsDialog::tr("could not be opened: it had vanished");
    case OpenFailure::None:
    case OpenFailure::Unknown:
        break;
    }
    return PortsDialog::tr("could not be opened");
}

QString inputText(const PortState& port) {
    // A port the search never came to is no port that failed.
    if (!port.opened && port.failure == OpenFailure::None)
        return PortsDialog::tr("not tried (the search ended before it)");
    if (!port.opened) return openFailureText(port.failure);
    return port.answered ? PortsDialog::tr("opened; an answer came in on it")
                         : PortsDialog::tr("opened; no answer came in on it");
}

QString outputText(const PortState& port) {
    if (port.failure != OpenFailure::None) return openFailureText(port.failure);
    if (!port.opened) return PortsDialog::tr("not tried (the search ended before it)");
    if (!port.probed) return PortsDialog::tr("opened; the probe could not be sent");
    return port.answered ? PortsDialog::tr("opened; took the probe; answered")
                         : PortsDialog::tr("opened; took the probe; no answer");
}

QString noteFor(const QString& name, const QString& controllerPort) {
    QStringList notes;
    if (!controllerPort.isEmpty() && name == controllerPort)
        notes << PortsDialog::tr("the controller");
    if (korvalen::midi::isBridgedPortName(name.toStdString()))
        notes << PortsDialog::tr("ALSA-to-JACK bridge");
    return notes.join(QStringLiteral("; "));
}

} // namespace

QList<PortsDialog::Row> PortsDialog::rowsFor(const Facts& facts) {
    QList<Row> rows;
    auto add = [&](const QString& direction, const QStringList& listed,
                   const std::vector<PortState>& searched, const QString& controllerPort,
                   QString (*text)(const PortState&)) {
        for (const QString& name : listed) {
            const PortState* port = facts.searched ? findPort(searched, name) : nullptr;
            rows.append({direction, name, port ? text(*port) : tr("not there at the last search"),
                         noteFor(name, controllerPort)});
        }
        for (const PortState& port : searched) {
            const QString name = QString::fromStdString(port.name);
            if (!listed.contains(name))
                rows.append({direction, name, tr("gone since the last search"),
                             noteFor(name, controllerPort)});
        }
    };
    add(tr("In"), facts.inputs, facts.search.inputs, facts.controllerInput, inputText);
    add(tr("Out"), facts.outputs, facts.search.outputs, facts.controllerOutput, outputText);
    return rows;
}

QString PortsDialog::summaryFor(const Facts& facts) {
    QString last;
    const auto& s = facts.search;
    if (!facts.searched)
        last = tr("no search yet");
    else if (s.outPort >= 0)
        last =
            tr("found the controller on %1")
                .arg(QString::fromStdString(s.outputs[static_cast<std::size_t>(s.outPort)].name));
    else if (s.stopped)
        last = tr("cancelled in attempt %1").arg(s.attempts);
    else
        last = tr("no controller answered (attempts: %1)").arg(s.attempts);
    if (!facts.server.isEmpty())
        return tr("MIDI backend: %1 (%2). Last search: %3.").arg(facts.backend, facts.server, last);
    return tr("MIDI backend: %1. Last search: %2.").arg(facts.backend, last);
}

QString PortsDialog::bridgeWarningFor(const Facts& facts) {
    const auto bridged = [](const QString& name) {
        return korvalen::midi::isBridgedPortName(name.toStdString());
    };
    if (std::none_of(facts.inputs.begin(), facts.inputs.end(), bridged) &&
        std::none_of(facts.outputs.begin(), facts.outputs.end(), bridged))
        return {};
    return tr("A port marked \"ALSA-to-JACK bridge\" drops every MIDI message over %1 bytes: "
              "preset uploads and firmware upgrades through it fail. Start the editor with "
              "--midi-api alsa to reach the controller directly.")
        .arg(korvalen::midi::kBridgeMaxMessageBytes);
}

PortsDialog::PortsDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("portsWindow"));
    setWindowTitle(tr("MIDI Ports"));
    summary_ = new QLabel(this);
    summary_->setObjectName(QStringLiteral("portsSummary"));
    summary_->setWordWrap(true);
    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("portsList"));
    list_->setRootIsDecorated(false);
    list_->setWordWrap(true);
    list_->setHeaderLabels({QString(), tr("Port"), tr("Last search"), tr("Note")});
    list_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    bridge_ = new QLabel(this);
    bridge_->setObjectName(QStringLiteral("portsBridgeWarning"));
    bridge_->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(summary_);
    layout->addWidget(list_);
    layout->addWidget(bridge_);
    layout->addWidget(buttons);
    resize(800, 320);
    a11y::describeWindow(this);
}

void PortsDialog::setFacts(const Facts& facts) {
    summary_->setText(summaryFor(facts));
    bridge_->setText(bridgeWarningFor(facts));
    bridge_->setVisible(!bridge_->text().isEmpty());
    list_->clear();
    for (const Row& row : rowsFor(facts))
        list_->addTopLevelItem(
            new QTreeWidgetItem(QStringList{row.direction, row.name, row.search, row.note}));
}

QList<PortsDialog::Row> PortsDialog::shownRows() const {
    QList<Row> rows;
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = list_->topLevelItem(i);
        rows.append({item->text(0), item->text(1), item->text(2), item->text(3)});
    }
    return rows;
}

QString PortsDialog::shownSummary() const {
    return summary_->text();
}

QString PortsDialog::shownBridgeWarning() const {
    return bridge_->text();
}
