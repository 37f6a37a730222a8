#include "focus_cue.h"

#include <QApplication>
#include <QPainter>

namespace {

constexpr int kBand = 3; // the orange band
constexpr int kLine = 1; // the black line between the band and the control
const QColor kBandColour(255, 128, 0);

} // namespace

FocusCue::FocusCue(QWidget *surface) : QWidget(surface)
{
    setObjectName(QStringLiteral("focusCue"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    hide();
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget *, QWidget *now) { follow(now); });
}

void FocusCue::follow(QWidget *focus)
{
    // The control is the surface's child that holds the focus widget (an
    // editable combo box holds its edit field).
    QWidget *held = focus;
    while (held && held->parentWidget() != parentWidget())
        held = held->parentWidget();
    if (held == this)
        held = nullptr;
    if (control)
        control->removeEventFilter(this);
    control = held;
    if (control)
        control->installEventFilter(this);
    surround();
}

void FocusCue::surround()
{
    if (!control || !control->isVisible()) {
        hide();
        return;
    }
    const int margin = kBand + kLine;
    setGeometry(control->geometry().adjusted(-margin, -margin, margin, margin));
    raise();
    show();
    update();
}

bool FocusCue::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == control && (event->type() == QEvent::Move || event->type() == QEvent::Resize ||
                               event->type() == QEvent::Show || event->type() == QEvent::Hide))
        surround();
    return QWidget::eventFilter(watched, event);
}

void FocusCue::paintEvent(QPaintEvent *)
{
    const QRect line = rect().adjusted(kBand, kBand, -kBand, -kBand);
    const QRect inside = line.adjusted(kLine, kLine, -kLine, -kLine);
    QPainter painter(this);
    // The ring alone: the control shows through inside it.
    painter.setClipRegion(QRegion(rect()).subtracted(QRegion(inside)));
    painter.fillRect(rect(), kBandColour);
    painter.fillRect(line, Qt::black);
}
