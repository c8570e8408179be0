#include "trafficlines.h"

#include <QDateTime>

namespace korvalen {

QString trafficTime(std::chrono::system_clock::time_point time) {
    const qint64 ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count();
    return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("HH:mm:ss.zzz"));
}

QString formatTrafficLine(const TrafficLine& line) {
    if (line.note) return trafficTime(line.time) + QStringLiteral("  ") + line.decoded;
    return QStringLiteral("%1  %2  %3  %4  [%5]")
        .arg(trafficTime(line.time), line.outgoing ? QStringLiteral("out") : QStringLiteral("in "),
             line.port, line.decoded, line.bytes);
}

TrafficReader::TrafficReader(midi::TrafficLog& log) : log_(log), next_(log.nextSequence()) {}

std::vector<TrafficLine> TrafficReader::take(std::size_t max, Decode decode) {
    std::uint64_t lost = 0;
    std::vector<midi::TrafficRecord> records = log_.takeSince(next_, max, &lost);
    std::vector<TrafficLine> lines;
    lines.reserve(records.size() + 1);
    if (lost != 0) {
        TrafficLine note;
        note.time = records.empty() ? std::chrono::system_clock::now() : records.front().time;
        note.note = true;
        note.decoded = QStringLiteral("%1 messages came faster than they could be shown and are "
                                      "not listed")
                           .arg(lost);
        lines.push_back(std::move(note));
    }
    for (midi::TrafficRecord& r : records) {
        ++read_;
        const MessageDirection direction =
            r.outgoing ? MessageDirection::Out : MessageDirection::In;
        // A flash is summed up as it goes: its messages come with their words either way.
        const DecodedMessage decoded =
            decodeMessage(direction, r.bytes.data(), r.bytes.size(), decode);
        const bool summed = FlashSummary::concerns(decoded.kind);
        std::string text;
        if (summed && !summary_.show(decoded, text)) continue;
        TrafficLine line;
        line.time = r.time;
        line.outgoing = r.outgoing;
        // Most lines come from one or two ports: their lines share the name's text.
        if (r.port != lastPort_) {
            lastPort_ = r.port;
            lastPortText_ = QString::fromStdString(r.port);
        }
        line.port = lastPortText_;
        // Only the first bytes of a long message are kept.
        line.kind = r.length > r.bytes.size() ? MessageKind::UnknownSysEx : decoded.kind;
        line.length = r.length;
        line.raw = std::move(r.bytes);
        line.pending = true;
        // A line with its words now gets its bytes' text now too.
        if (summed || decode == Decode::Words) {
            line.decoded = QString::fromStdString(summed ? text : decoded.text);
            fillIn(line);
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

void fillIn(TrafficLine& line) {
    if (!line.pending) return;
    line.pending = false;
    const std::string hex = hexBytes(line.raw.data(), line.raw.size());
    line.bytes = QString::fromLatin1(hex.data(), qsizetype(hex.size()));
    if (line.length > line.raw.size()) {
        line.decoded = QStringLiteral("SysEx of %1 bytes").arg(line.length);
        line.bytes += QStringLiteral(" ... (%1 bytes)").arg(line.length);
    } else if (line.decoded.isEmpty()) {
        const DecodedMessage decoded =
            decodeMessage(line.outgoing ? MessageDirection::Out : MessageDirection::In,
                          line.raw.data(), line.raw.size());
        line.decoded = QString::fromStdString(decoded.text);
    }
    line.raw = {};
}

} // namespace korvalen
