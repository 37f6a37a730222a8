#include "caption_label.h"

#include "text_font.h"

#include <QAccessibleWidget>
#include <QMouseEvent>

#include <cmath>

namespace {

// The label's text as its name, and the action "Press".
class CaptionLabelAccessible : public QAccessibleWidget {
  public:
    explicit CaptionLabelAccessible(CaptionLabel *label)
        : QAccessibleWidget(label, QAccessible::StaticText)
    {
    }

    static QAccessibleInterface *create(const QString &className, QObject *object)
    {
        if (className != QLatin1StringView("CaptionLabel"))
            return nullptr;
        return new CaptionLabelAccessible(static_cast<CaptionLabel *>(object));
    }

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Name && widget()->accessibleName().isEmpty())
            return label()->text();
        return QAccessibleWidget::text(kind);
    }

    QStringList actionNames() const override
    {
        return QAccessibleWidget::actionNames() << pressAction();
    }

    void doAction(const QString &action) override
    {
        if (action == pressAction())
            label()->press();
        else
            QAccessibleWidget::doAction(action);
    }

  private:
    CaptionLabel *label() const { return static_cast<CaptionLabel *>(widget()); }
};

} // namespace

CaptionLabel::CaptionLabel(int index, QWidget *parent) : QLabel(parent), labelIndex(index)
{
    static const bool installed = [] {
        QAccessible::installFactory(&CaptionLabelAccessible::create);
        return true;
    }();
    Q_UNUSED(installed);
}

void CaptionLabel::setCaption(const QString &caption, QDate day)
{
    setText(caption);
    FitFontToText(this, caption);
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
