// korvalen25-cli's diff and history: two presets compared control by control (files, snapshots
// or presets read from the controller), and the snapshots kept before writes.
#pragma once

#include "outcome.h"
#include "presetcompare.h"
#include "presethistory.h"

#include <QByteArray>
#include <QString>

#include <vector>

class QTextStream;

namespace korvalen::cli {

// One side of a comparison: its name as given, and the preset.
struct DiffSide {
    QString name;
    StoredPreset stored;
};

// The differences as lines of columns: control, bank, field, the first side's value, the
// second's; a last line with their count, or that the presets are the same.
QString differenceText(const DiffSide& a, const DiffSide& b,
                       const std::vector<ComparedField>& list);
QByteArray differenceJson(const DiffSide& a, const DiffSide& b,
                          const std::vector<ComparedField>& list);

// diff A B: each side a preset file or a device preset ("P17"). `differ` is set when the
// presets differ.
Outcome diffCommand(const QString& port, const QString& first, const QString& second, bool json,
                    QTextStream& out, bool& differ);
// history [PRESET]: the snapshots of one preset (number), or of all (-1), newest first.
Outcome historyCommand(int number, bool json, QTextStream& out);

// "2026-12-08 15:01:02"
QString snapshotTime(const SnapshotInfo& info);

} // namespace korvalen::cli
