#include "presetupload.h"

namespace korvalen {

namespace {

// Notes what reaches the target: whether a record changed its values, how many were refused,
// and the end of the dump.
class CountingSink final : public DumpSink {
public:
    CountingSink(DumpSink& inner, bool& touched, int& rejected, bool& ended)
        : inner_(inner), touched_(touched), rejected_(rejected), ended_(ended) {}
    void assignment(ControlRef control, AssignmentField field, std::uint8_t value) override {
        touched_ = true;
        inner_.assignment(control, field, value);
    }
    void uploadError() override {
        ++rejected_;
        inner_.uploadError();
    }
    void recordRejected() override {
        ++rejected_;
        inner_.recordRejected();
    }
    void globalsStored(int first, int count) override {
        touched_ = true;
        inner_.globalsStored(first, count);
    }
    void endOfDump() override {
        ended_ = true;
        inner_.endOfDump();
    }

private:
    DumpSink& inner_;
    bool& touched_;
    int& rejected_;
    bool& ended_;
};

} // namespace

PresetUpload::PresetUpload(Sender send, ByteRing& ring, Target& target, QObject* parent)
    : QObject(parent), send_(std::move(send)), ring_(ring), target_(target) {
    timer_.setSingleShot(true);
    timer_.setInterval(kTimeoutMs);
    connect(&timer_, &QTimer::timeout, this, &PresetUpload::timedOut);
    retryTimer_.setSingleShot(true);
    connect(&retryTimer_, &QTimer::timeout, this, &PresetUpload::requestAgain);
}

bool PresetUpload::request(int number) {
    const auto message = uploadRequestMessage(number);
    const bool first = !open_;
    if (first) {
        target_.keep();
        touched_ = false;
        rejected_ = 0;
        retries_ = 0;
        // Bytes still unread are no part of this upload (and would crowd its dump).
        ring_.discardAll();
        drops_ = ring_.drops();
    }
    if (send_(message.data(), static_cast<std::uint32_t>(message.size())) != 0) return false;
    open_ = true;
    number_ = number;
    retryTimer_.stop();
    timer_.start();
    return true;
}

void PresetUpload::requestAgain() {
    if (!open_) return;
    // What is left of the damaged dump is no part of the new one.
    ring_.discardAll();
    drops_ = ring_.drops();
    rejected_ = 0;
    const auto message = uploadRequestMessage(number_);
    // A request the port does not take ends as an upload whose dump never came: the time-out.
    send_(message.data(), static_cast<std::uint32_t>(message.size()));
    timer_.start();
}

PresetUpload::Read PresetUpload::read() {
    if (!open_) {
        ring_.discardAll();
        return Read::Open;
    }
    if (retryTimer_.isActive()) {
        // The rest of a damaged dump, before the new request.
        ring_.discardAll();
        return Read::Open;
    }
    timer_.start(); // the time-out counts from the last bytes received
    bool ended = false;
    CountingSink sink(target_.sink(), touched_, rejected_, ended);
    DumpParser parser(sink);
    if (parser.parse(ring_, drops_) != DumpParser::Status::Damaged)
        return ended ? Read::Ended : Read::Open;
    if (retries_ >= kRetries) return Read::Damaged;
    ++retries_;
    ring_.discardAll();
    timer_.stop();
    retryTimer_.start(retryPauseMs_ * retries_);
    return Read::Retrying;
}

void PresetUpload::finish() {
    open_ = false;
    timer_.stop();
    retryTimer_.stop();
    ring_.discardAll();
}

void PresetUpload::abandon() {
    if (!open_) return;
    open_ = false;
    timer_.stop();
    retryTimer_.stop();
    ring_.discardAll();
    if (touched_) target_.putBack();
}

} // namespace korvalen
