#include "caption_label.h"

#include <QMouseEvent>

#include <cmath>

CaptionLabel::CaptionLabel(int index, QWidget *parent) : QLabel(parent), labelIndex(index) {}

void CaptionLabel::setCaption(const QString &caption, QDate day)
{
    setText(caption);
    shownDay = day;
    fitToText();
    Q_EMIT Change(labelIndex);
}

void CaptionLabel::setAnchor(Anchor newAnchor, double x)
{
    anchor = newAnchor;
    anchorX = x;
    fitToText();
}

void CaptionLabel::mousePressEvent(QMouseEvent *event)
{
    QLabel::mousePressEvent(event);
    if (event->button() == Qt::LeftButton)
        Q_EMIT Click(labelIndex);
}

void CaptionLabel::fitToText()
{
    if (anchor == Anchor::None)
        return;
    const int width = fontMetrics().horizontalAdvance(text()) + 2 * margin() + 2;
    int left = int(std::lround(anchorX));
    if (anchor == Anchor::Centre)
        left = int(std::lround(anchorX - width / 2.0));
    else if (anchor == Anchor::Right)
        left = int(std::lround(anchorX)) - width;
    setGeometry(left, y(), width, height());
}
