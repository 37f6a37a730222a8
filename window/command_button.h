#pragma once

#include <QPushButton>

// A push button that Return and Enter press while it has the focus, as Space
// does, without becoming a default button: the focused button is the one the
// user means, and its look does not change.
class CommandButton : public QPushButton {
    Q_OBJECT

  public:
    CommandButton(const QString &caption, QWidget *parent);

  protected:
    void keyPressEvent(QKeyEvent *event) override;
};
