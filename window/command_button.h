#pragma once

#include <QPushButton>

// A push button that Return and Enter press while it has the focus, as Space
// does, without becoming a default button: the focused button is the one the
// user means, and its look does not change.
class CommandButton : public QPushButton {
    Q_OBJECT

  public:
    CommandButton(const QString &caption, QWidget *parent);

    // Shows a text the program sets rather than a design caption: an "&" in it
    // is shown, not taken as an access key, and a text too long for the button
    // is cut in the middle, keeping its start and its end (a file name's
    // extension). The whole text stays the button's name for screen readers.
    // Returns whether the text was cut.
    bool setCaption(const QString &text);

  protected:
    void keyPressEvent(QKeyEvent *event) override;
};
