#pragma once

#include <QDate>
#include <QLabel>

// A label that shows a day, reports every caption set by code at once (Change)
// and every mouse press (Click), each with its index in a label array. With an
// anchor it sizes its width to its text and keeps the anchored edge or centre
// in place. Screen readers see it as text that can be pressed, which raises
// Click as the mouse does.
class CaptionLabel : public QLabel {
    Q_OBJECT

  public:
    enum class Anchor { None, Left, Centre, Right };

    CaptionLabel(int index, QWidget *parent);

    // The day the caption shows; none while the label shows its design caption.
    QDate day() const { return shownDay; }
    // Shows the caption of a day, keeps the day beside it, and raises Change
    // before returning. The day is kept because a caption cannot always be read
    // back: in some languages a month name begins another one, and Qt cannot
    // read the digits of every script.
    void setCaption(const QString &caption, QDate day);
    // x is the left edge, the centre or the right edge, in pixels of the parent.
    void setAnchor(Anchor anchor, double x);
    // What a click does, for those who do not use the mouse.
    void press() { Q_EMIT Click(labelIndex); }

  Q_SIGNALS:
    void Change(int index);
    void Click(int index);

  protected:
    void mousePressEvent(QMouseEvent *event) override;

  private:
    void fitToText();

    int labelIndex;
    QDate shownDay;
    Anchor anchor = Anchor::None;
    double anchorX = 0;
};
