// For the firmware upgrade tests: image files, random bodies, the dialog's log, and the log of
// a successful upgrade.
#pragma once

#include "upgrade.h"

#include <QByteArray>
#include <QListWidget>
#include <QStringList>

#include <array>
#include <cstdint>
#include <random>

namespace testupgrade {

// The emulator's default identity.
constexpr std::array<std::uint8_t, 5> kId = {0x00, 0x20, 0x6B, 0x02, 0x19};

// A ".bin" file: `body`, then the trailer with the identity, the version characters and the
// magic.
inline QByteArray imageFile(const QByteArray& body, std::array<std::uint8_t, 5> id = kId,
                            const char* version = "102", const char* magic = "QVolm") {
    QByteArray bytes = body;
    for (auto b : id)
        bytes.append(static_cast<char>(b));
    bytes.append(version, 3);
    bytes.append("\x01\x02", 2);
    bytes.append(magic, 5);
    return bytes;
}

inline QByteArray randomBody(int size, unsigned seed) {
    std::mt19937 rng(seed);
    QByteArray body(size, '\0');
    for (auto& c : body)
        c = static_cast<char>(rng() & 0xFF);
    return body;
}

inline QStringList logOf(const UpgradeDlg& dlg) {
    QStringList lines;
    for (int i = 0; i < dlg.ui.upgradeLog->count(); ++i)
        lines << dlg.ui.upgradeLog->item(i)->text();
    return lines;
}

inline const QStringList kSuccessLog = {upgradetext::kFinding,      upgradetext::kFound,
                                        upgradetext::kFlashWriting, upgradetext::kUpdateOk,
                                        upgradetext::kRestart,      upgradetext::kTheEnd};

} // namespace testupgrade
