#pragma once

#include <QComboBox>

// An editable combo box that raises Click when an item of its list is chosen,
// by the user (mouse, arrow keys) or by code through selectItem; typing into
// the edit field raises nothing.
class OffsetCombo : public QComboBox {
    Q_OBJECT

  public:
    explicit OffsetCombo(QWidget *parent);

    void selectItem(int position);

  Q_SIGNALS:
    void Click();
};
