#include "offset_combo.h"

#include <QLineEdit>

OffsetCombo::OffsetCombo(QWidget *parent) : QComboBox(parent)
{
    setEditable(true);
    // Typed text is never added to the list: it holds the offsets only.
    setInsertPolicy(QComboBox::NoInsert);
    setCompleter(nullptr);
    connect(this, &QComboBox::activated, this, [this](int position) {
        // Activation by Return picks the item that matches the typed text;
        // make the edit field show the item itself before Click reads it.
        setEditText(itemText(position));
        Q_EMIT Click();
    });
}

void OffsetCombo::selectItem(int position)
{
    setCurrentIndex(position);
    setEditText(itemText(position));
    Q_EMIT Click();
}

void OffsetCombo::focusOutEvent(QFocusEvent *event)
{
    // QComboBox would choose the item that matches the typed text once editing
    // finishes, as it does on Return; losing focus is no choice, so the chosen
    // item's text comes back first and nothing is left to match.
    if (currentIndex() >= 0 && currentText() != itemText(currentIndex()))
        setEditText(itemText(currentIndex()));
    QComboBox::focusOutEvent(event);
}
