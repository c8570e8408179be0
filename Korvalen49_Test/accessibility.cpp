#include "accessibility.h"

#include "item.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAccessibleWidget>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLCDNumber>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabBar>
#include <QTabWidget>

#include <algorithm>
#include <cmath>
#include <limits>

namespace a11y {

namespace {

// The tables' texts are marked for the context "Accessibility"; the texts written out below
// are filed under "a11y", this namespace.
QString tr(const char* text) {
    const QString table = QCoreApplication::translate("Accessibility", text);
    return table != QLatin1String(text) ? table : QCoreApplication::translate("a11y", text);
}

// --- Names of the panel boxes ----------------------------------------------------------------

struct Field {
    const char* suffix;
    const char* name;
    const char* description;
};

// The fields of a control's panel, by the end of the box's objectName.
const Field kControlFields[] = {
    {"typeBox", QT_TRANSLATE_NOOP("Accessibility", "message type"),
     QT_TRANSLATE_NOOP("Accessibility", "What the control sends: a controller change, a note or "
                                        "a device function.")},
    {"ccBox", QT_TRANSLATE_NOOP("Accessibility", "CC number"),
     QT_TRANSLATE_NOOP("Accessibility", "The controller number or device function it sends.")},
    {"ChBox", QT_TRANSLATE_NOOP("Accessibility", "MIDI channel"),
     QT_TRANSLATE_NOOP("Accessibility", "The MIDI channel it sends on.")},
    {"PortBox", QT_TRANSLATE_NOOP("Accessibility", "MIDI port"),
     QT_TRANSLATE_NOOP("Accessibility", "The MIDI port it sends to.")},
    {"modeBox", QT_TRANSLATE_NOOP("Accessibility", "button mode"),
     QT_TRANSLATE_NOOP("Accessibility", "Toggle or momentary.")},
};

// The fields of a keyboard zone's panel, by the end of the box's objectName.
const Field kZoneFields[] = {
    {"Sta", QT_TRANSLATE_NOOP("Accessibility", "on or off"),
     QT_TRANSLATE_NOOP("Accessibility", "Whether the zone plays.")},
    {"Prog", QT_TRANSLATE_NOOP("Accessibility", "program"),
     QT_TRANSLATE_NOOP("Accessibility", "The program change the zone sends.")},
    {"MSB", QT_TRANSLATE_NOOP("Accessibility", "bank MSB"),
     QT_TRANSLATE_NOOP("Accessibility", "The bank select MSB the zone sends.")},
    {"LSB", QT_TRANSLATE_NOOP("Accessibility", "bank LSB"),
     QT_TRANSLATE_NOOP("Accessibility", "The bank select LSB the zone sends.")},
    {"Port", QT_TRANSLATE_NOOP("Accessibility", "MIDI port"),
     QT_TRANSLATE_NOOP("Accessibility", "The MIDI port the zone sends to.")},
    {"Chan", QT_TRANSLATE_NOOP("Accessibility", "MIDI channel"),
     QT_TRANSLATE_NOOP("Accessibility", "The MIDI channel the zone sends on.")},
    {"RangSta", QT_TRANSLATE_NOOP("Accessibility", "lowest key"),
     QT_TRANSLATE_NOOP("Accessibility", "The lowest key of the zone.")},
    {"RangEnd", QT_TRANSLATE_NOOP("Accessibility", "highest key"),
     QT_TRANSLATE_NOOP("Accessibility", "The highest key of the zone.")},
    {"Oct", QT_TRANSLATE_NOOP("Accessibility", "octave"),
     QT_TRANSLATE_NOOP("Accessibility", "The octave shift of the zone.")},
    {"Trans", QT_TRANSLATE_NOOP("Accessibility", "transpose"),
     QT_TRANSLATE_NOOP("Accessibility", "The transposition of the zone in semitones.")},
};

const char* const kTransportNames[] = {
    QT_TRANSLATE_NOOP("Accessibility", "Rewind"),
    QT_TRANSLATE_NOOP("Accessibility", "Fast forward"), QT_TRANSLATE_NOOP("Accessibility", "Stop"),
    QT_TRANSLATE_NOOP("Accessibility", "Play"), QT_TRANSLATE_NOOP("Accessibility", "Record")};

const QRegularExpression& controlBoxPattern() {
    static const QRegularExpression pattern(
        QStringLiteral("^([EFPZS])(\\d)_(typeBox|ccBox|ChBox|PortBox|modeBox)$"));
    return pattern;
}

const QRegularExpression& zoneBoxPattern() {
    static const QRegularExpression pattern(
        QStringLiteral("^zone([1-3])(Sta|Prog|MSB|LSB|Port|Chan|RangSta|RangEnd|Oct|Trans)$"));
    return pattern;
}

// The description of a panel box, empty for any other widget.
QString boxDescription(const QString& objectName) {
    if (const auto m = controlBoxPattern().match(objectName); m.hasMatch()) {
        for (const Field& f : kControlFields)
            if (m.captured(3) == QLatin1String(f.suffix)) return tr(f.description);
    }
    if (const auto m = zoneBoxPattern().match(objectName); m.hasMatch()) {
        for (const Field& f : kZoneFields)
            if (m.captured(2) == QLatin1String(f.suffix)) return tr(f.description);
    }
    return QString();
}

// Keeps the names of the panel boxes true: the boxes are shared by the banks of their
// controls, and an assignment box holds controllers or notes as its control's type says.
class BoxNamer : public QObject {
public:
    explicit BoxNamer(QWidget* window) : QObject(window) {
        setObjectName(QStringLiteral("accessibleBoxNames"));
        for (const char* name : {"BankBox", "PadBankBox"}) {
            auto* bank = window->findChild<QComboBox*>(QLatin1String(name));
            if (bank == nullptr) continue;
            banks_.append(bank);
            connect(bank, &QComboBox::currentIndexChanged, this, &BoxNamer::nameAll);
        }
    }

    static BoxNamer* of(QWidget* window) {
        auto* namer = window->findChild<BoxNamer*>(QStringLiteral("accessibleBoxNames"),
                                                   Qt::FindDirectChildrenOnly);
        return namer != nullptr ? namer : new BoxNamer(window);
    }

    void add(QWidget* below) {
        for (QComboBox* box : below->findChildren<QComboBox*>()) {
            const QString name = box->objectName();
            if (!controlBoxPattern().match(name).hasMatch() &&
                !zoneBoxPattern().match(name).hasMatch())
                continue;
            boxes_.append(box);
            box->setAccessibleDescription(boxDescription(name));
            name1(box);
            // A type change rebuilds the assignment list: its name follows.
            connect(box->model(), &QAbstractItemModel::rowsInserted, this,
                    [this, guarded = QPointer<QComboBox>(box)] {
                        if (guarded) name1(guarded);
                    });
        }
    }

private:
    int bankFor(const QString& objectName) const {
        const bool pad = objectName.startsWith(QLatin1Char('P'));
        for (const QPointer<QComboBox>& bank : banks_)
            if (bank && (bank->objectName() == QLatin1String("PadBankBox")) == pad)
                return std::max(0, bank->currentIndex());
        return 0;
    }

    void name1(QComboBox* box) {
        const QString objectName = box->objectName();
        const int kind = box->property(korvalen::kListKindProperty).toInt();
        box->setAccessibleName(boxName(objectName, bankFor(objectName), kind));
    }

    void nameAll() {
        for (const QPointer<QComboBox>& box : std::as_const(boxes_))
            if (box) name1(box);
    }

    QList<QPointer<QComboBox>> banks_;
    QList<QPointer<QComboBox>> boxes_;
};

// --- Names of the other controls ------------------------------------------------------------

struct Part {
    const char* objectName;
    const char* name;        // empty: the control's own text names it
    const char* description; // may be empty
};

#define T(text) QT_TRANSLATE_NOOP("Accessibility", text)

// The picture of the controller, the pages, and the controls of the dialogs and tool windows.
const Part kParts[] = {
    // the picture: every part shows the page of its group
    {"E1", T("Encoder E1"), T("Shows the encoder page.")},
    {"E2", T("Encoder E2"), T("Shows the encoder page.")},
    {"E3", T("Encoder E3"), T("Shows the encoder page.")},
    {"E4", T("Encoder E4"), T("Shows the encoder page.")},
    {"E5", T("Encoder E5"), T("Shows the encoder page.")},
    {"E6", T("Encoder E6"), T("Shows the encoder page.")},
    {"E7", T("Encoder E7"), T("Shows the encoder page.")},
    {"E8", T("Encoder E8"), T("Shows the encoder page.")},
    {"Btn_F1", T("Function button F1"), T("Shows the function button page.")},
    {"Btn_F2", T("Function button F2"), T("Shows the function button page.")},
    {"Btn_F3", T("Function button F3"), T("Shows the function button page.")},
    {"Btn_F4", T("Function button F4"), T("Shows the function button page.")},
    {"P1", T("Pad P1"), T("Shows the pad page.")},
    {"P2", T("Pad P2"), T("Shows the pad page.")},
    {"P3", T("Pad P3"), T("Shows the pad page.")},
    {"P4", T("Pad P4"), T("Shows the pad page.")},
    {"Btn_Rew", T("Rewind"), T("Shows the transport button page.")},
    {"Btn_FF", T("Fast forward"), T("Shows the transport button page.")},
    {"Btn_Stop", T("Stop"), T("Shows the transport button page.")},
    {"Btn_Play", T("Play"), T("Shows the transport button page.")},
    {"Btn_Rec", T("Record"), T("Shows the transport button page.")},
    {"Slider_S1", T("Slider S1"), T("Shows the slider page.")},
    {"btnZ1", "", T("Shows the keyboard zone page.")},
    {"btnZ2", "", T("Shows the keyboard zone page.")},
    {"btnZ3", "", T("Shows the keyboard zone page.")},
    {"BtnLayer_En", T("Encoders"), T("Shows the encoder page.")},
    {"btnLayer_Fn", T("Function buttons"), T("Shows the function button page.")},
    {"BtnLayer_Pn", T("Pads"), T("Shows the pad page.")},
    {"btnLayer_Zoudai", T("Transport buttons"), T("Shows the transport button page.")},
    {"btnLayer_S1", T("Slider"), T("Shows the slider page.")},
    {"BtnLayer_Zn", T("Keyboard zones"), T("Shows the keyboard zone page.")},
    {"BankBox", T("Encoder and function button bank"),
     T("The bank whose values the encoder and function button pages show.")},
    {"PadBankBox", T("Pad bank"), T("The bank whose values the pad page shows.")},
    {"lcdNumber", T("Display"), ""},
    {"widget", T("Logo"), ""},
    // the pages
    {"tab", T("Encoder page"), ""},
    {"Fn", T("Function button page"), ""},
    {"Pn", T("Pad page"), ""},
    {"Zn", T("Transport button page"), ""},
    {"S1", T("Slider page"), ""},
    {"Zone", T("Keyboard zone page"), ""},
    // the upload and upgrade dialogs
    {"presetSelBox", T("Preset to upload"), T("The factory preset or one of the user presets.")},
    {"upgradeLoad", "", T("Step 1: choose the firmware image file.")},
    {"upgradeStart", "", T("Step 2: flash the image into the controller in upgrade mode.")},
    {"upgradeBar", T("Upgrade progress"), ""},
    {"upgradeLog", T("Upgrade log"), ""},
    // the library window
    {"libraryList", T("Presets"),
     T("Enter opens the chosen preset, F2 renames it, Delete moves it to the trash.")},
    {"libraryFilter", T("Filter"), T("Shows only the presets whose name, number or kind match.")},
    {"librarySaveName", T("Name for the editor's preset"), ""},
    {"libraryTarget", T("User preset to download to"), ""},
    {"libraryFolder", T("Library folder"), ""},
    // the compare window
    {"compareList", T("Differences"),
     T("Each field that differs, with both values. Take a side's value with the buttons below.")},
    // the MIDI monitor
    {"monitorLines", T("MIDI messages"), ""},
    {"monitorFilter", T("Kind of messages shown"), ""},
    {"monitorPause", "", T("Stops and resumes the list; the traffic is still recorded.")},
    // the MIDI ports window
    {"portsList", T("MIDI ports"), T("Every port and what the last search did with it.")},
    // the search window
    {"cancelSearch", "", T("Ends the search for the controller.")},
};

#undef T

void nameParts(QWidget* root) {
    QList<QWidget*> widgets = root->findChildren<QWidget*>();
    widgets.prepend(root);
    for (QWidget* w : std::as_const(widgets)) {
        const QString objectName = w->objectName();
        if (objectName.isEmpty()) continue;
        for (const Part& part : kParts) {
            if (objectName != QLatin1String(part.objectName)) continue;
            if (*part.name != '\0') w->setAccessibleName(tr(part.name));
            if (*part.description != '\0') w->setAccessibleDescription(tr(part.description));
            break;
        }
    }
}

// --- Tab order ------------------------------------------------------------------------------

bool takesTab(const QWidget* w) {
    return (w->focusPolicy() & Qt::TabFocus) != 0;
}

// Moves `widgets` after one another in the focus chain, from where the first of them stands.
void chain(const QList<QWidget*>& widgets) {
    for (qsizetype i = 1; i < widgets.size(); ++i)
        QWidget::setTabOrder(widgets[i - 1], widgets[i]);
}

// The panel a box lies on: its nearest customLayer ancestor below `page`.
QWidget* panelOf(QWidget* w, QWidget* page) {
    for (QWidget* p = w->parentWidget(); p != nullptr && p != page; p = p->parentWidget())
        if (p->inherits("customLayer")) return p;
    return w->parentWidget();
}

// The widgets of a page that take Tab, panel by panel in reading order (rows of panels from
// the top, left to right within a row), and within a panel in reading order too.
QList<QWidget*> readingOrder(QWidget* page) {
    QList<QWidget*> widgets;
    for (QWidget* w : page->findChildren<QWidget*>())
        if (takesTab(w)) widgets.append(w);
    struct Place {
        QWidget* widget;
        QPoint panel;
        QPoint own;
    };
    QList<Place> places;
    for (QWidget* w : std::as_const(widgets)) {
        QWidget* panel = panelOf(w, page);
        places.append({w, panel->mapTo(page, QPoint(0, 0)), w->mapTo(page, QPoint(0, 0))});
    }
    // Panels whose tops lie within this distance of each other stand in one row.
    constexpr int kRowSlack = 40;
    auto before = [](const QPoint& a, const QPoint& b) {
        if (std::abs(a.y() - b.y()) > kRowSlack / 4) return a.y() < b.y();
        return a.x() < b.x();
    };
    std::stable_sort(places.begin(), places.end(), [&](const Place& a, const Place& b) {
        if (a.panel != b.panel) {
            if (std::abs(a.panel.y() - b.panel.y()) > kRowSlack) return a.panel.y() < b.panel.y();
            return a.panel.x() < b.panel.x();
        }
        return before(a.own, b.own);
    });
    QList<QWidget*> ordered;
    for (const Place& p : std::as_const(places))
        ordered.append(p.widget);
    return ordered;
}

// Puts `ordered` one after another in the focus chain of `window`, where the first of them in
// the chain stands now.
void orderInChain(QWidget* window, const QList<QWidget*>& ordered) {
    if (ordered.size() < 2) return;
    QWidget* first = nullptr;
    for (QWidget* w = window->nextInFocusChain(); w != window; w = w->nextInFocusChain()) {
        if (ordered.contains(w)) {
            first = w;
            break;
        }
    }
    if (first == nullptr) return;
    if (first != ordered.first()) {
        QWidget* prev = first->previousInFocusChain();
        while (prev != window && !takesTab(prev))
            prev = prev->previousInFocusChain();
        // The toolkit orders only widgets that take the focus: the window, when it is the one
        // before, takes it for the moment.
        const Qt::FocusPolicy own = prev->focusPolicy();
        if (!takesTab(prev)) prev->setFocusPolicy(Qt::TabFocus);
        QWidget::setTabOrder(prev, ordered.first());
        prev->setFocusPolicy(own);
    }
    chain(ordered);
}

void orderPage(QWidget* page) {
    orderInChain(page->window(), readingOrder(page));
}

// --- The picture: arrow keys move within it, Enter and Space show a part's page -------------

// The picture's parts in the order of the pages they show: encoders, function buttons, pads,
// transport buttons, slider, keyboard zones; each bank box after its group.
const char* const kPictureOrder[] = {
    "E1",       "E2",      "E3",        "E4",         "E5",      "E6",     "E7",
    "E8",       "BankBox", "Btn_F1",    "Btn_F2",     "Btn_F3",  "Btn_F4", "P1",
    "P2",       "P3",      "P4",        "PadBankBox", "Btn_Rew", "Btn_FF", "Btn_Stop",
    "Btn_Play", "Btn_Rec", "Slider_S1", "btnZ1",      "btnZ2",   "btnZ3"};

class PictureKeys : public QObject {
public:
    PictureKeys(QWidget* picture, QList<QWidget*> parts)
        : QObject(picture), picture_(picture), parts_(std::move(parts)) {
        setObjectName(QStringLiteral("pictureKeys"));
        for (QWidget* w : std::as_const(parts_))
            w->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return false;
        auto* w = qobject_cast<QWidget*>(watched);
        const auto* key = static_cast<QKeyEvent*>(event);
        Qt::KeyboardModifiers modifiers = key->modifiers();
        modifiers.setFlag(Qt::KeypadModifier, false);
        if (w == nullptr || modifiers != Qt::NoModifier) return false;
        const bool box = qobject_cast<QComboBox*>(w) != nullptr;
        switch (key->key()) {
        case Qt::Key_Left:
            return move(w, -1, 0);
        case Qt::Key_Right:
            return move(w, 1, 0);
        case Qt::Key_Up:
            // A bank box keeps Up and Down for its banks.
            return !box && move(w, 0, -1);
        case Qt::Key_Down:
            return !box && move(w, 0, 1);
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space:
            // Buttons and boxes take these themselves; a dial or the slider shows its page.
            if (qobject_cast<QAbstractSlider*>(w) == nullptr) return false;
            return showPage(w);
        default:
            return false;
        }
    }

private:
    // The layer button of `w`'s group shows the group's page when clicked.
    static bool showPage(QWidget* w) {
        for (QPushButton* b :
             w->parentWidget()->findChildren<QPushButton*>(QString(), Qt::FindDirectChildrenOnly)) {
            if (b->isCheckable() && b->text().isEmpty()) {
                b->click();
                return true;
            }
        }
        return false;
    }

    // Focus to the nearest part in direction (dx, dy); a part straight ahead counts nearer
    // than one off to the side.
    bool move(QWidget* from, int dx, int dy) {
        const QPoint here = from->mapTo(picture_, from->rect().center());
        QWidget* best = nullptr;
        double bestCost = std::numeric_limits<double>::max();
        for (QWidget* w : std::as_const(parts_)) {
            if (w == from || !w->isVisible() || !w->isEnabled()) continue;
            const QPoint d = w->mapTo(picture_, w->rect().center()) - here;
            const int ahead = d.x() * dx + d.y() * dy;
            if (ahead <= 0) continue;
            const int aside = std::abs(dx != 0 ? d.y() : d.x());
            const double cost = ahead + 2.0 * aside;
            if (cost < bestCost) {
                bestCost = cost;
                best = w;
            }
        }
        if (best != nullptr) best->setFocus(Qt::TabFocusReason);
        return true; // at the edge the focus stays
    }

    QWidget* picture_;
    QList<QWidget*> parts_;
};

// --- Boxes named by their names -------------------------------------------------------------

// A box as a screen reader sees it: its name is its accessible name (the toolkit's own box
// gives its value as its name on Linux, and the label only as a relation), its value the
// entry it shows; its child the list it opens.
class NamedComboBox : public QAccessibleWidget {
public:
    explicit NamedComboBox(QComboBox* box) : QAccessibleWidget(box, QAccessible::ComboBox) {}

    QString text(QAccessible::Text t) const override {
        switch (t) {
        case QAccessible::Name:
            if (!box()->accessibleName().isEmpty()) return box()->accessibleName();
            return box()->currentText();
        case QAccessible::Value:
            return box()->currentText();
        default:
            return QAccessibleWidget::text(t);
        }
    }

    int childCount() const override { return 1; }
    QAccessibleInterface* child(int index) const override {
        return index == 0 ? QAccessible::queryAccessibleInterface(box()->view()) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        return child != nullptr && child->object() == box()->view() ? 0 : -1;
    }

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.expandable = true;
        s.expanded = box()->view()->isVisible();
        return s;
    }

    QStringList actionNames() const override { return {showMenuAction(), pressAction()}; }
    void doAction(const QString& actionName) override {
        if (actionName != showMenuAction() && actionName != pressAction()) return;
        if (box()->view()->isVisible())
            box()->hidePopup();
        else
            box()->showPopup();
    }

private:
    QComboBox* box() const { return static_cast<QComboBox*>(widget()); }
};

// A layer button of the picture: pressed, it shows its page, as a click does (the toolkit
// offers only "Toggle" for a checkable button, which checks it without showing the page).
class LayerButton : public QAccessibleWidget {
public:
    explicit LayerButton(QAbstractButton* button)
        : QAccessibleWidget(button, QAccessible::Button) {}

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.checkable = true;
        s.checked = button()->isChecked();
        return s;
    }
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& actionName) override {
        if (actionName == pressAction()) button()->click();
    }

private:
    QAbstractButton* button() const { return static_cast<QAbstractButton*>(widget()); }
};

bool isLayerButton(const QObject* object) {
    const QString name = object->objectName().toLower();
    return name.startsWith(QLatin1String("btnlayer_"));
}

QAccessibleInterface* namedParts(const QString&, QObject* object) {
    if (auto* button = qobject_cast<QAbstractButton*>(object); button && isLayerButton(button))
        return new LayerButton(button);
    auto* box = qobject_cast<QComboBox*>(object);
    if (box == nullptr || box->isEditable()) return nullptr;
    return new NamedComboBox(box);
}

// --- The focus frame ------------------------------------------------------------------------

// A frame around the widget that has the keyboard focus, shown when the focus came by the
// keyboard (Tab, an arrow key in the picture, a shortcut) and not by a click: black, yellow,
// black, so that it stands out on the white panels and on the dark picture alike.
class FocusFrame : public QWidget {
public:
    FocusFrame() : QWidget(nullptr) {
        setObjectName(QStringLiteral("keyboardFocusFrame"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
        hide();
    }

    void follow(QWidget* target) {
        if (target_ != nullptr) target_->removeEventFilter(this);
        target_ = target;
        if (target == nullptr || target->parentWidget() == nullptr || target->isWindow()) {
            hide();
            return;
        }
        target->installEventFilter(this);
        setParent(target->parentWidget());
        place();
        show();
        raise();
    }

    static constexpr int kWidth = 4;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == target_) {
            switch (event->type()) {
            case QEvent::Move:
            case QEvent::Resize:
                place();
                break;
            case QEvent::Hide:
            case QEvent::FocusOut:
                follow(nullptr);
                break;
            default:
                break;
            }
        }
        return false;
    }

    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const QRect r = rect();
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::black);
        painter.drawRect(r);
        painter.setBrush(QColor(255, 214, 0));
        painter.drawRect(r.adjusted(1, 1, -1, -1));
        painter.setBrush(Qt::black);
        painter.drawRect(r.adjusted(3, 3, -3, -3));
    }

private:
    void place() {
        if (target_ == nullptr) return;
        setGeometry(target_->geometry().adjusted(-kWidth, -kWidth, kWidth, kWidth));
        // Only the border is drawn on: the widget under the frame stays visible.
        QRegion ring(rect());
        ring -= QRegion(rect().adjusted(kWidth, kWidth, -kWidth, -kWidth));
        setMask(ring);
    }

    QPointer<QWidget> target_;
};

class FocusWatch : public QObject {
public:
    explicit FocusWatch(QObject* parent) : QObject(parent) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::FocusIn || !watched->isWidgetType()) return false;
        auto* w = static_cast<QWidget*>(watched);
        switch (static_cast<QFocusEvent*>(event)->reason()) {
        case Qt::TabFocusReason:
        case Qt::BacktabFocusReason:
        case Qt::ShortcutFocusReason:
            if (w->hasFocus() && takesTab(w)) {
                frame().follow(w);
                return false;
            }
            break;
        default:
            break;
        }
        if (frame_ != nullptr) frame_->follow(nullptr);
        return false;
    }

private:
    FocusFrame& frame() {
        if (frame_ == nullptr) frame_ = new FocusFrame;
        return *frame_;
    }

    QPointer<FocusFrame> frame_;
};

// The focus frame and the boxes' names, for the whole program.
void installForProgram() {
    static QPointer<FocusWatch> watch;
    if (watch != nullptr || qApp == nullptr) return;
    watch = new FocusWatch(qApp);
    qApp->installEventFilter(watch);
    static bool boxes = false;
    if (!boxes) QAccessible::installFactory(namedParts);
    boxes = true;
}

} // namespace

QString boxName(const QString& objectName, int bank, int listKind) {
    if (const auto m = zoneBoxPattern().match(objectName); m.hasMatch()) {
        for (const Field& f : kZoneFields)
            if (m.captured(2) == QLatin1String(f.suffix))
                return tr("Zone%1: %2").arg(m.captured(1), tr(f.name));
        return QString();
    }
    const auto m = controlBoxPattern().match(objectName);
    if (!m.hasMatch()) return QString();
    const QChar group = m.captured(1).at(0);
    const int k = m.captured(2).toInt();
    const QString suffix = m.captured(3);
    QString control;
    if (group == QLatin1Char('E'))
        control = tr("E%1, bank %2").arg(k).arg(bank + 1);
    else if (group == QLatin1Char('F'))
        control = tr("F%1, bank %2").arg(k).arg(bank + 1);
    else if (group == QLatin1Char('P'))
        control =
            tr("P%1, bank %2").arg(k).arg(bank == 0 ? QStringLiteral("A") : QStringLiteral("B"));
    else if (group == QLatin1Char('Z') && k >= 1 && k <= 5)
        control = tr("%1 button").arg(tr(kTransportNames[k - 1]));
    else if (group == QLatin1Char('S') && k == 1)
        control = tr("Slider S1");
    else
        return QString();
    QString field;
    if (suffix == QLatin1String("ccBox") && listKind == 1 && group != QLatin1Char('E') &&
        group != QLatin1Char('S'))
        field = tr("note number");
    for (const Field& f : kControlFields)
        if (field.isEmpty() && suffix == QLatin1String(f.suffix)) field = tr(f.name);
    return tr("%1: %2").arg(control, field);
}

bool isWords(const QString& name) {
    for (qsizetype i = 1; i < name.size(); ++i)
        if (name.at(i - 1).isLetter() && name.at(i).isLetter()) return true;
    return false;
}

void describeMainForm(QWidget* window) {
    installForProgram();
    nameParts(window);
    BoxNamer::of(window)->add(window);

    // The page widget's tab bar is out of sight: the picture changes pages.
    if (auto* tabs = window->findChild<QTabWidget*>(QStringLiteral("tabWidget"))) {
        tabs->setFocusPolicy(Qt::NoFocus);
        tabs->tabBar()->setFocusPolicy(Qt::NoFocus);
        for (QWidget* scroll : tabs->tabBar()->findChildren<QWidget*>())
            scroll->setFocusPolicy(Qt::NoFocus);
        if (QWidget* first = tabs->widget(0)) orderPage(first);
    }

    QWidget* picture = window->findChild<QWidget*>(QStringLiteral("backLayer3"));
    if (picture == nullptr) return;
    // Decoration stays out of the Tab order: the keys, the display's buttons that do nothing,
    // and the layer buttons, whose groups' own parts show the same pages.
    for (QAbstractButton* b : picture->findChildren<QAbstractButton*>()) {
        const QString name = b->objectName();
        if (name.startsWith(QLatin1String("Key")) || name.startsWith(QLatin1String("Btn_F1_")) ||
            (b->isCheckable() && b->text().isEmpty()))
            b->setFocusPolicy(Qt::NoFocus);
        if (name.startsWith(QLatin1String("Key"))) b->setAccessibleName(tr("Piano key"));
        if (name.startsWith(QLatin1String("Btn_F1_"))) b->setAccessibleName(tr("Display button"));
    }
    QList<QWidget*> parts;
    for (const char* name : kPictureOrder)
        if (auto* w = picture->findChild<QWidget*>(QLatin1String(name)); w && takesTab(w))
            parts.append(w);
    // The parts follow the last page's panels, in the order of the pages they show.
    orderInChain(window, parts);
    new PictureKeys(picture, parts);
}

void describePage(QWidget* page) {
    nameParts(page);
    BoxNamer::of(page->window())->add(page);
    orderPage(page);
}

void describeWindow(QWidget* window) {
    installForProgram();
    nameParts(window);
    // The upload dialog: the preset first, then OK and Cancel.
    auto* preset = window->findChild<QComboBox*>(QStringLiteral("presetSelBox"));
    auto* buttons = window->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
    if (preset != nullptr && buttons != nullptr) {
        QList<QWidget*> order{preset};
        for (QAbstractButton* b : buttons->buttons())
            order.append(b);
        chain(order);
    }
}

} // namespace a11y
