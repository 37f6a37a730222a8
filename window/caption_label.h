#pragma once

#include <QLabel>

// A label that reports every caption set by code at once (Change) and every
// mouse press (Click), each with its index in a label array. With an anchor it
// sizes its width to its text and keeps the anchored edge or centre in place.
class CaptionLabel : public QLabel {
    Q_OBJECT

  public:
    enum class Anchor { None, Left, Centre, Right };

    CaptionLabel(int index, QWidget *parent);

    int index() const { return labelIndex; }
    QString Caption() const { return text(); }
    // Sets the text and raises Change before returning.
    void setCaption(const QString &caption);
    // x is the left edge, the centre or the right edge, in pixels of the parent.
    void setAnchor(Anchor anchor, double x);

  Q_SIGNALS:
    void Change(int index);
    void Click(int index);

  protected:
    void mousePressEvent(QMouseEvent *event) override;

  private:
    void fitToText();

    int labelIndex;
    Anchor anchor = Anchor::None;
    double anchorX = 0;
};
