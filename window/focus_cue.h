#pragma once

#include <QPointer>
#include <QWidget>

// A ring drawn around the control of the surface that has the keyboard focus:
// an orange band outside a black line, so that it shows beside a white button
// as well as on the black window, unlike the styles' own thin cue. It lies on
// top of the controls and lets the mouse through.
class FocusCue : public QWidget {
    Q_OBJECT

  public:
    explicit FocusCue(QWidget *surface);

    // The control the ring is around; none while the focus is elsewhere.
    QWidget *target() const { return control; }

  protected:
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    void follow(QWidget *focus);
    void surround();

    QPointer<QWidget> control;
};
