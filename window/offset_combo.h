#pragma once

#include <QComboBox>

// An editable combo box that raises Click when an item of its list is chosen:
// by the user (mouse, arrow keys, Return or Enter on a typed item) or by code
// through selectItem. Typing alone chooses nothing: when the box loses focus,
// text that was not chosen gives way to the chosen item again.
class OffsetCombo : public QComboBox {
    Q_OBJECT

  public:
    explicit OffsetCombo(QWidget *parent);

    void selectItem(int position);

  Q_SIGNALS:
    void Click();

  protected:
    void focusOutEvent(QFocusEvent *event) override;
};
