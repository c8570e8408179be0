#include "boxbinding.h"

#include "nametables.h"
#include "presetprotocol.h"

namespace korvalen {

namespace {

std::function<void()>& userEditHook() {
    static std::function<void()> hook;
    return hook;
}

// The entries of channels or ports 1 to `max`, then "--".
QStringList numberedWithNone(const QString& prefix, int max) {
    QStringList list = buildList(max, [&](int n) { return prefix + QString::number(n + 1); });
    list.append(QStringLiteral("--"));
    return list;
}

} // namespace

void setUserEditHook(std::function<void()> hook) {
    userEditHook() = std::move(hook);
}

void userEdited() {
    if (const auto& hook = userEditHook()) hook();
}

const QStringList& controlEntries() {
    static const QStringList list = buildList(
        kAssignmentCount, [](int n) { return QString::fromLatin1(controlListEntry(n).c_str()); });
    return list;
}

const QStringList& noteEntries() {
    static const QStringList list = buildList(
        kMaxNote + 1, [](int n) { return QString::fromLatin1(noteListEntry(n).c_str()); });
    return list;
}

const QStringList& channelEntries() {
    static const QStringList list = numberedWithNone(QStringLiteral("Ch"), kMaxChannel);
    return list;
}

const QStringList& portEntries() {
    static const QStringList list = numberedWithNone(QStringLiteral("P"), kMaxPort);
    return list;
}

} // namespace korvalen
