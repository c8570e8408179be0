// A layer of the editor form: one of the dark backgrounds or one of the white panels that the
// combo boxes lie on. It draws its background and border from a style sheet of its own, as if
// that sheet were set on it, but leaves the widgets on it unstyled: a sheet on the layer itself
// would restyle every widget below it, which costs the toolkit time and memory for each of
// them, and most of the form lies on layers.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

class customLayer : public QWidget {
    Q_OBJECT
    // Declarations of a style sheet for the layer alone (background, border), without selector.
    Q_PROPERTY(QString layerStyleSheet READ layerStyleSheet WRITE setLayerStyleSheet)

public:
    explicit customLayer(QWidget* parent = nullptr);

    QString layerStyleSheet() const;
    void setLayerStyleSheet(const QString& sheet);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString sheet_;
    // Carries the sheet and lends its style to the drawing; never shown. The layers of one
    // window with the same sheet share one, found when a layer is first drawn (by then the
    // form has put it into its window): the toolkit styles each widget with a sheet on its
    // own, and a form has many layers but two sheets.
    QPointer<QWidget> look_;
};
