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

std::vector<TrafficLine> TrafficReader::take(std::size_t max) {
    std::uint64_t lost = 0;
    const std::vector<midi::TrafficRecord> records = log_.takeSince(next_, max, &lost);
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
    for (const midi::TrafficRecord& r : records) {
        ++read_;
        const DecodedMessage decoded =
            decodeMessage(r.outgoing ? MessageDirection::Out : MessageDirection::In, r.bytes.data(),
                          r.bytes.size());
        std::string text;
        if (!summary_.show(decoded, text)) continue;
        TrafficLine line;
        line.time = r.time;
        line.outgoing = r.outgoing;
        // Most lines come from one or two ports: their lines share the name's text.
        if (r.port != lastPort_) {
            lastPort_ = r.port;
            lastPortText_ = QString::fromStdString(r.port);
        }
        line.port = lastPortText_;
        line.kind = decoded.kind;
        const std::string hex = hexBytes(r.bytes.data(), r.bytes.size());
        line.bytes = QString::fromLatin1(hex.data(), qsizetype(hex.size()));
        if (r.length > r.bytes.size()) {
            // Only the first bytes of a long message are kept.
            text = "SysEx of " + std::to_string(r.length) + " bytes";
            line.kind = MessageKind::UnknownSysEx;
            line.bytes += QStringLiteral(" ... (%1 bytes)").arg(r.length);
        }
        line.decoded = QString::fromStdString(text);
        lines.push_back(std::move(line));
    }
    return lines;
}

} // namespace korvalen
