// Following the controller: while "Follow the Controller" (Edit menu) is on, a control touched
// on the controller is found in the preset being edited (every bank) and its page, bank and
// boxes are shown, as undo shows a control it changed. The messages come from the link: the
// short messages it hands on, and the System Exclusive that reaches the window while no
// transfer reads the ring. Nothing is taken while a search, an upload, a download or a firmware
// upgrade is under way. The choice is remembered across runs.
#pragma once

#include "controlmessages.h"
#include "edithistory.h"

#include <QObject>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>

class QAction;

class FollowController : public QObject {
    Q_OBJECT

public:
    struct Host {
        // True while the controller is connected and nothing is under way.
        std::function<bool()> listening;
        // Shows a control's page and bank and marks its boxes.
        std::function<void(const EditHistory::Place&)> show;
        // A note on the status bar for `timeoutMs`.
        std::function<void(const QString&, int)> status;
    };
    // How long the note of a touch stays on the status bar.
    static constexpr int kNoteMs = 5000;

    FollowController(Host host, QObject* parent = nullptr);

    // The checkable menu entry, with the remembered choice.
    QAction* action() const { return action_; }
    bool isOn() const;

    // One message from the controller: a short message as the link packs it (first byte in the
    // low byte), or a whole System Exclusive message.
    void shortMessage(std::uint32_t packed);
    void message(const std::uint8_t* data, std::size_t length);

    // What the note on the status bar says of a message and a control: "CC 7 on channel 3",
    // "Note C#4 on channel 10", "ProgramChange on channel 1", "Play"; "E3 bank 2", "P1 bank A",
    // "PLAY", "S1", "Zone 2".
    static QString messageText(const korvalen::SentAssignment& sent);
    static QString controlText(const korvalen::SendingControl& control);
    // "CC 7 on channel 3: E3 bank 2, E7 bank 4", or that no control sends it.
    static QString noteText(const korvalen::SentAssignment& sent,
                            const std::vector<korvalen::SendingControl>& controls);
    // Where the window shows a control: its page, bank and boxes.
    static EditHistory::Place placeOf(const korvalen::SendingControl& control);

private:
    void setOn(bool on);

    Host host_;
    QAction* action_;
    korvalen::ControlFinder finder_;
};
