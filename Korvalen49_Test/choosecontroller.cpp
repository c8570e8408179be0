#include "choosecontroller.h"

#include "connectthread.h"
#include "korvalen49_test.h"
#include "upgrade.h"

#include <QInputDialog>
#include <QPointer>
#include <QSettings>

namespace choosecontroller {

namespace {

constexpr char kPortKey[] = "connection/controllerPort";

QSettings settings() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("korvalen25"),
                     QStringLiteral("korvalen25-editor"));
}

} // namespace

QString rememberedPort() {
    return settings().value(QLatin1String(kPortKey)).toString();
}

void rememberPort(const QString& name) {
    settings().setValue(QLatin1String(kPortKey), name);
}

korvalen::midi::PortPreference editorPreference() {
    return {rememberedPort().toStdString(), false};
}

QInputDialog* ask(QWidget* parent, const QString& title, const QString& question,
                  const std::vector<korvalen::midi::FoundDevice>& devices,
                  std::function<void(const QString&)> chosen) {
    QStringList items;
    QStringList outputs;
    for (const auto& d : devices) {
        const QString out = QString::fromStdString(d.outName);
        items << QInputDialog::tr("%1  (input: %2)").arg(out, QString::fromStdString(d.inName));
        outputs << out;
    }
    auto* box = new QInputDialog(parent);
    box->setObjectName(QLatin1String(kBoxName));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowTitle(title);
    box->setLabelText(question);
    box->setComboBoxItems(items);
    box->setComboBoxEditable(false);
    QObject::connect(box, &QInputDialog::textValueSelected, box,
                     [items, outputs, chosen = std::move(chosen)](const QString& text) {
                         const qsizetype i = items.indexOf(text);
                         if (i >= 0) chosen(outputs[i]);
                     });
    box->open();
    return box;
}

bool takeSearchEnd(Korvalen49_Test* window, korvalen::midi::SearchResult result,
                   const korvalen::midi::SearchRecord& record) {
    if (result != korvalen::midi::SearchResult::NotChosen) return false;
    QPointer<Korvalen49_Test> guard(window);
    ask(window, QStringLiteral("Connection"),
        Korvalen49_Test::tr("More than one Korvalen25 answered.\nWhich one should the editor "
                            "use? It is remembered for the next start."),
        record.devices, [guard](const QString& port) {
            rememberPort(port);
            if (guard) guard->reconnectSlot();
        });
    return true;
}

void takeUpgradeEnd(UpgradeDlg* dialog) {
    if (connectThread.outcome() != ConnectThread::Outcome::NotChosen) return;
    const auto devices = connectThread.devices();
    if (devices.empty()) return;
    QPointer<UpgradeDlg> guard(dialog);
    ask(dialog, dialog->windowTitle(),
        UpgradeDlg::tr("More than one controller in upgrade mode answered.\nWhich one should "
                       "be flashed?"),
        devices, [guard](const QString& port) {
            if (guard) guard->startOn(port);
        });
}

} // namespace choosecontroller
