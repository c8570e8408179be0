#include "followcontroller.h"

#include "nametables.h"
#include "presetmodel.h"

#include <QAction>
#include <QSettings>

namespace {

constexpr char kSettingKey[] = "edit/followController";

QSettings settings() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("korvalen25"),
                     QStringLiteral("korvalen25-editor"));
}

// The bytes of a short message that begins with `status`.
std::size_t shortLength(std::uint8_t status) {
    switch (status & 0xF0) {
    case 0xC0:
    case 0xD0:
        return 2;
    case 0xF0:
        if (status == 0xF1 || status == 0xF3) return 2;
        if (status == 0xF2) return 3;
        return 1;
    default:
        return 3;
    }
}

} // namespace

FollowController::FollowController(Host host, QObject* parent)
    : QObject(parent), host_(std::move(host)),
      action_(new QAction(tr("&Follow the Controller"), this)) {
    action_->setObjectName(QStringLiteral("actionFollowController"));
    action_->setCheckable(true);
    action_->setChecked(settings().value(QLatin1String(kSettingKey), false).toBool());
    action_->setStatusTip(tr("Show the control you touch on the controller"));
    action_->setToolTip(action_->statusTip());
    connect(action_, &QAction::toggled, this, &FollowController::setOn);
}

bool FollowController::isOn() const {
    return action_->isChecked();
}

void FollowController::setOn(bool on) {
    settings().setValue(QLatin1String(kSettingKey), on);
    finder_.reset();
}

void FollowController::shortMessage(std::uint32_t packed) {
    std::uint8_t bytes[3] = {std::uint8_t(packed & 0xFF), std::uint8_t((packed >> 8) & 0xFF),
                             std::uint8_t((packed >> 16) & 0xFF)};
    message(bytes, shortLength(bytes[0]));
}

void FollowController::message(const std::uint8_t* data, std::size_t length) {
    if (!isOn() || !host_.listening()) return;
    const auto sent = finder_.read(data, length);
    if (!sent) return;
    const auto controls = korvalen::controlsSending(currentPresetValues(), *sent);
    if (!controls.empty()) host_.show(placeOf(controls.front()));
    host_.status(noteText(*sent, controls), kNoteMs);
}

QString FollowController::messageText(const korvalen::SentAssignment& sent) {
    using Kind = korvalen::SentAssignment::Kind;
    QString what;
    switch (sent.kind) {
    case Kind::Controller:
        what = tr("CC %1").arg(sent.number);
        break;
    case Kind::Note:
        what = tr("Note %1").arg(
            QString::fromStdString(korvalen::noteName(sent.number)).remove(QLatin1Char(' ')));
        break;
    case Kind::Function:
        // The device functions keep the names of their list.
        what = QString::fromLatin1(korvalen::nameTable[sent.number]).trimmed();
        break;
    }
    if (sent.channel < 0) return what;
    return tr("%1 on channel %2").arg(what).arg(sent.channel + 1);
}

QString FollowController::controlText(const korvalen::SendingControl& c) {
    if (c.key) return tr("Zone %1").arg(c.zone + 1);
    const korvalen::ControlRef& r = c.control;
    switch (r.group) {
    case korvalen::ControlGroup::Encoder:
        return tr("E%1 bank %2").arg(r.index + 1).arg(r.bank + 1);
    case korvalen::ControlGroup::Function:
        return tr("F%1 bank %2").arg(r.index + 1).arg(r.bank + 1);
    case korvalen::ControlGroup::Pad:
        return tr("P%1 bank %2")
            .arg(r.index + 1)
            .arg(r.bank == 0 ? QLatin1Char('A') : QLatin1Char('B'));
    case korvalen::ControlGroup::Transport:
    case korvalen::ControlGroup::Slider:
        break;
    }
    // The names on the controller's panel.
    return QString::fromStdString(korvalen::controlName(c));
}

QString FollowController::noteText(const korvalen::SentAssignment& sent,
                                   const std::vector<korvalen::SendingControl>& controls) {
    if (controls.empty())
        return tr("%1: no control of this preset sends it").arg(messageText(sent));
    QStringList names;
    for (const korvalen::SendingControl& c : controls)
        names << controlText(c);
    return tr("%1: %2").arg(messageText(sent), names.join(tr(", ")));
}

EditHistory::Place FollowController::placeOf(const korvalen::SendingControl& c) {
    using Group = EditHistory::Place::Group;
    EditHistory::Place place;
    if (c.key) {
        const QString zone = QStringLiteral("zone%1").arg(c.zone + 1);
        place.group = Group::Zone;
        // Zone 1 has no on/off box.
        if (c.zone > 0) place.boxes << zone + QStringLiteral("Sta");
        place.boxes << zone + QStringLiteral("Chan") << zone + QStringLiteral("RangSta")
                    << zone + QStringLiteral("RangEnd");
        return place;
    }
    const korvalen::ControlRef& r = c.control;
    QString prefix;
    bool button = true;
    switch (r.group) {
    case korvalen::ControlGroup::Encoder:
        place.group = Group::Encoder;
        place.bank = r.bank;
        prefix = QStringLiteral("E%1").arg(r.index + 1);
        button = false;
        break;
    case korvalen::ControlGroup::Function:
        place.group = Group::Function;
        place.bank = r.bank;
        prefix = QStringLiteral("F%1").arg(r.index + 1);
        break;
    case korvalen::ControlGroup::Pad:
        place.group = Group::Pad;
        place.bank = r.bank;
        prefix = QStringLiteral("P%1").arg(r.index + 1);
        break;
    case korvalen::ControlGroup::Transport:
        place.group = Group::Transport;
        prefix = QStringLiteral("Z%1").arg(r.index + 1);
        break;
    case korvalen::ControlGroup::Slider:
        place.group = Group::Slider;
        prefix = QStringLiteral("S1");
        button = false;
        break;
    }
    if (button) place.boxes << prefix + QStringLiteral("_typeBox");
    place.boxes << prefix + QStringLiteral("_ccBox") << prefix + QStringLiteral("_ChBox")
                << prefix + QStringLiteral("_PortBox");
    if (button) place.boxes << prefix + QStringLiteral("_modeBox");
    return place;
}
