// The upload of a stored preset into the editor: the request, and the dump that answers it,
// read from the link's ring as its pieces arrive, on the thread that owns the upload. An upload
// that does not end puts back the values it found: they are kept once, at its first request,
// however many requests follow while it is open. It ends when the controller has been silent
// for the time-out, counted from the last bytes received (or from the request). A dump that
// arrives damaged is asked for again, up to kRetries times, each after a longer pause.
#pragma once

#include "bytering.h"
#include "presetprotocol.h"

#include <QObject>
#include <QTimer>

#include <cstdint>
#include <functional>

namespace korvalen {

class PresetUpload : public QObject {
    Q_OBJECT

public:
    static constexpr int kTimeoutMs = 5000;
    // New requests after damaged dumps, and the pause before the first one; the pause before
    // new request n is n times as long.
    static constexpr int kRetries = 3;
    static constexpr int kRetryPauseMs = 250;

    // Sends one complete message; 0 when the port took it.
    using Sender = std::function<int(const std::uint8_t*, std::uint32_t)>;

    // The values an upload writes to.
    class Target {
    public:
        virtual ~Target() = default;
        // The values as they are now are to be kept until the upload closes.
        virtual void keep() = 0;
        // The kept values come back: the upload changed some and did not end.
        virtual void putBack() = 0;
        // Takes the records of the dump.
        virtual DumpSink& sink() = 0;
    };

    enum class Read {
        Open,     // the dump goes on
        Ended,    // its end record came: finish() closes it
        Retrying, // bytes were lost on the way: the dump is asked for again after a pause
        Damaged,  // bytes were lost on the way, and every new request too: abandon() closes it
    };

    PresetUpload(Sender send, ByteRing& ring, Target& target, QObject* parent = nullptr);

    void setTimeoutMs(int milliseconds) { timer_.setInterval(milliseconds); }
    int timeoutMs() const { return timer_.interval(); }
    void setRetryPauseMs(int milliseconds) { retryPauseMs_ = milliseconds; }
    // New requests made after damaged dumps in the open (or last) upload.
    int retries() const { return retries_; }
    // The pause before the new request that waits, or 0 when none waits.
    int retryPauseMs() const { return retryTimer_.isActive() ? retryTimer_.interval() : 0; }
    bool isOpen() const { return open_; }
    // Records of the open (or last) upload that were out of range.
    int rejectedRecords() const { return rejected_; }

    // Sends the request for stored preset `number` and opens the upload, or keeps it open. The
    // first request keeps the target's values and drops what the ring still holds. False when
    // the port did not take the request; an upload that was not open stays closed.
    bool request(int number);
    // Reads what has arrived into the target's sink; the time-out starts again.
    Read read();
    // Closes the upload: its values stay.
    void finish();
    // Closes the upload: the kept values come back if the dump had changed any. Nothing
    // happens when no upload is open.
    void abandon();

signals:
    // The controller was silent for the time-out while the upload was open; it is still open.
    void timedOut();

private:
    void requestAgain();

    Sender send_;
    ByteRing& ring_;
    Target& target_;
    QTimer timer_;
    QTimer retryTimer_;
    int retryPauseMs_ = kRetryPauseMs;
    int number_ = 0;
    int retries_ = 0;
    bool open_ = false;
    bool touched_ = false; // a record of the dump reached the target
    int rejected_ = 0;
    std::uint32_t drops_ = 0; // the ring's drop count when the upload began
};

} // namespace korvalen
