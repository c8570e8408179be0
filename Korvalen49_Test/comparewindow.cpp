#include "comparewindow.h"

#include "accessibility.h"
#include "commandhost.h"
#include "coretext.h"
#include "edithistory.h"
#include "presetmodel.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

CompareWindow::CompareWindow(CommandHost& host, QWidget* parent)
    : QWidget(parent, Qt::Window), host_(host), list_(new QTreeWidget(this)),
      summary_(new QLabel(this)) {
    setObjectName(QStringLiteral("compareWindow"));
    setWindowTitle(tr("Compare Presets"));
    list_->setObjectName(QStringLiteral("compareList"));
    list_->setRootIsDecorated(false);
    list_->setAlternatingRowColors(true);
    // Several rows are taken at once: Shift and Ctrl choose them.
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    summary_->setObjectName(QStringLiteral("compareSummary"));
    auto* buttons = new QHBoxLayout;
    for (int side = 0; side < 2; ++side) {
        take_[side] = new QPushButton(this);
        take_[side]->setObjectName(side == 0 ? QStringLiteral("takeFirst")
                                             : QStringLiteral("takeSecond"));
        take_[side]->setEnabled(false);
        connect(take_[side], &QPushButton::clicked, this, [this, side] { takeSelected(side); });
        buttons->addWidget(take_[side]);
        takeAll_[side] = new QPushButton(this);
        takeAll_[side]->setObjectName(side == 0 ? QStringLiteral("takeAllFirst")
                                                : QStringLiteral("takeAllSecond"));
        connect(takeAll_[side], &QPushButton::clicked, this, [this, side] { takeAll(side); });
        buttons->addWidget(takeAll_[side]);
    }
    buttons->addStretch();
    auto* close = new QPushButton(tr("Close"), this);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(summary_);
    layout->addWidget(list_);
    layout->addLayout(buttons);
    connect(list_, &QTreeWidget::itemSelectionChanged, this, &CompareWindow::updateButtons);
    // An undo or a redo changes the editor's side: its rows follow.
    connect(&host_.editHistory(), &EditHistory::restored, this, [this] {
        if (sides_[0].isEditor || sides_[1].isEditor) refill();
    });
    resize(640, 420);
    a11y::describeWindow(this);
}

CompareWindow::Side CompareWindow::editorSide() {
    return {tr("Editor"), currentPresetValues(), true, true};
}

void CompareWindow::compare(const Side& first, const Side& second) {
    sides_[0] = first;
    sides_[1] = second;
    refill();
}

void CompareWindow::refill() {
    for (Side& side : sides_)
        if (side.isEditor) side.values = currentPresetValues();
    const bool channels = sides_[0].zoneChannelsKnown && sides_[1].zoneChannelsKnown;
    differences_ = korvalen::comparePresets(sides_[0].values, sides_[1].values, channels);
    list_->clear();
    list_->setHeaderLabels(
        {tr("Control"), tr("Bank"), tr("Field"), sides_[0].name, sides_[1].name});
    QList<QTreeWidgetItem*> rows;
    for (const korvalen::ComparedField& d : differences_)
        rows << new QTreeWidgetItem(
            QStringList{QString::fromStdString(d.control), QString::fromStdString(d.bank),
                        korvalen::translated(d.label), korvalen::translated(d.firstValue),
                        korvalen::translated(d.secondValue)});
    list_->addTopLevelItems(rows);
    for (int c = 0; c < 5; ++c)
        list_->resizeColumnToContents(c);
    QString text =
        differences_.empty()
            ? tr("%1 and %2 are the same.").arg(sides_[0].name, sides_[1].name)
            : tr("%n difference(s) between %1 and %2.", nullptr, int(differences_.size()))
                  .arg(sides_[0].name, sides_[1].name);
    if (!channels)
        text += QLatin1Char(' ') + tr("The zones' channels are not compared: a preset "
                                      "file holds none.");
    summary_->setText(text);
    for (int side = 0; side < 2; ++side) {
        // The editor's own values are in the editor already.
        take_[side]->setVisible(!sides_[side].isEditor);
        takeAll_[side]->setVisible(!sides_[side].isEditor);
    }
    updateButtons();
}

void CompareWindow::updateButtons() {
    const int chosen = int(list_->selectedItems().size());
    const int all = int(differences_.size());
    for (int side = 0; side < 2; ++side) {
        const QString& name = sides_[side].name;
        const QString take = chosen <= 1 ? tr("Take %1's value").arg(name)
                                         : tr("Take %1's %n values", nullptr, chosen).arg(name);
        take_[side]->setText(take);
        take_[side]->setAccessibleName(take);
        take_[side]->setEnabled(chosen > 0);
        const QString takeAll = tr("Take all of %1 (%n value(s))", nullptr, all).arg(name);
        takeAll_[side]->setText(takeAll);
        takeAll_[side]->setAccessibleName(takeAll);
        takeAll_[side]->setEnabled(all > 0);
    }
}

void CompareWindow::takeSelected(int side) {
    QList<int> rows;
    for (QTreeWidgetItem* item : list_->selectedItems())
        rows << list_->indexOfTopLevelItem(item);
    takeValues(rows, side);
}

bool CompareWindow::takeValue(int row, int side) {
    return takeValues({row}, side);
}

bool CompareWindow::takeAll(int side) {
    QList<int> rows;
    for (int row = 0; row < int(differences_.size()); ++row)
        rows << row;
    return takeValues(rows, side);
}

bool CompareWindow::takeValues(const QList<int>& rows, int side) {
    if (rows.isEmpty() || side < 0 || side > 1) return false;
    for (int row : rows)
        if (row < 0 || row >= int(differences_.size())) return false;
    const PresetSnapshot before = takePresetSnapshot();
    korvalen::PresetValues values = before.values;
    for (int row : rows) {
        const korvalen::ComparedField& d = differences_[std::size_t(row)];
        korvalen::setFieldValue(values, d.field, side == 0 ? d.first : d.second);
    }
    applyPresetValues(values);
    // One step for the lot: one undo puts every value back.
    const QString what =
        rows.size() == 1
            ? tr("%1 from %2")
                  .arg(korvalen::translated(
                           korvalen::fieldNameText(differences_[std::size_t(rows.front())].field)),
                       sides_[side].name)
            : tr("%n values from %1", nullptr, int(rows.size())).arg(sides_[side].name);
    host_.editHistory().replaced(before, what);
    refill();
    return true;
}
