#include "comparewindow.h"

#include "accessibility.h"
#include "commandhost.h"
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
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    summary_->setObjectName(QStringLiteral("compareSummary"));
    auto* buttons = new QHBoxLayout;
    for (int side = 0; side < 2; ++side) {
        take_[side] = new QPushButton(this);
        take_[side]->setObjectName(side == 0 ? QStringLiteral("takeFirst")
                                             : QStringLiteral("takeSecond"));
        take_[side]->setEnabled(false);
        connect(take_[side], &QPushButton::clicked, this, [this, side] { takeSelected(side); });
        buttons->addWidget(take_[side]);
    }
    buttons->addStretch();
    auto* close = new QPushButton(tr("Close"), this);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(summary_);
    layout->addWidget(list_);
    layout->addLayout(buttons);
    connect(list_, &QTreeWidget::itemSelectionChanged, this, [this] {
        const bool any = !list_->selectedItems().isEmpty();
        take_[0]->setEnabled(any);
        take_[1]->setEnabled(any);
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
                        QString::fromStdString(d.name), QString::fromStdString(d.firstText),
                        QString::fromStdString(d.secondText)});
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
        take_[side]->setText(tr("Take %1's value").arg(sides_[side].name));
        take_[side]->setEnabled(false);
        // The editor's own values are in the editor already.
        take_[side]->setVisible(!sides_[side].isEditor);
    }
}

void CompareWindow::takeSelected(int side) {
    const QList<QTreeWidgetItem*> selected = list_->selectedItems();
    if (selected.isEmpty()) return;
    takeValue(list_->indexOfTopLevelItem(selected.front()), side);
}

bool CompareWindow::takeValue(int row, int side) {
    if (row < 0 || row >= int(differences_.size()) || side < 0 || side > 1) return false;
    const korvalen::ComparedField d = differences_[std::size_t(row)];
    const PresetSnapshot before = takePresetSnapshot();
    korvalen::PresetValues values = before.values;
    korvalen::setFieldValue(values, d.field, side == 0 ? d.first : d.second);
    applyPresetValues(values);
    host_.editHistory().replaced(
        before, tr("%1 from %2")
                    .arg(QString::fromStdString(korvalen::fieldName(d.field)), sides_[side].name));
    refill();
    return true;
}
