// The page widget of the editor window: one page of editing panels per control group. The
// tab bar is out of sight; pages change through the controller picture, which calls the
// ChangePage_ slots and keeps the layer button of the shown page checked.
#pragma once

#include <QTabWidget>

class QPushButton;

class customTab : public QTabWidget {
    Q_OBJECT
    // The style sheet of the tab bar alone (the form sets it). A sheet on the page widget would
    // style the pages too, and each page added to it would restyle every widget it holds.
    Q_PROPERTY(QString tabBarStyleSheet READ tabBarStyleSheet WRITE setTabBarStyleSheet)

public:
    explicit customTab(QWidget* parent = nullptr);

    QString tabBarStyleSheet() const;
    void setTabBarStyleSheet(const QString& sheet);

    // The layer buttons behind the groups of the picture, in the order S1, En, Fn, Pn,
    // Zoudai, Zn. They stay owned by the form.
    void SetLayerButtons(QPushButton* s1, QPushButton* en, QPushButton* fn, QPushButton* pn,
                         QPushButton* zoudai, QPushButton* zn);

public slots:
    void ChangePage_En();     // page 0, encoders
    void ChangePage_Fn();     // page 1, function buttons
    void ChangePage_Pn();     // page 2, pads
    void ChangePage_S1();     // page 4, slider
    void ChangePage_Zoudai(); // page 3, transport buttons
    void ChangePage_Zn();     // page 5, keyboard zones

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void showPage(int index, QPushButton* ownButton);

    QPushButton* layerBtn_S1 = nullptr;
    QPushButton* layerBtn_En = nullptr;
    QPushButton* layerBtn_Fn = nullptr;
    QPushButton* layerBtn_Pn = nullptr;
    QPushButton* layerBtn_Zoudai = nullptr;
    QPushButton* layerBtn_Zn = nullptr;
};
