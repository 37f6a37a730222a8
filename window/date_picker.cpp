#include "date_picker.h"

#include <QCalendarWidget>
#include <QLayout>
#include <QStyle>
#include <QTableView>

#include <cmath>

namespace {

// A calendar whose columns leave room for the whole weekday names above them.
// QCalendarWidget measures them without the margin its cells keep on each side
// of their text, so in some fonts "Mon" was cut to "M…".
class WeekdayCalendar : public QCalendarWidget {
  public:
    using QCalendarWidget::QCalendarWidget;

    QSize minimumSizeHint() const override
    {
        QSize size = QCalendarWidget::minimumSizeHint();
        // The weekday names are the first row of the calendar's table.
        const auto *table = findChild<QTableView *>();
        if (!table || !table->model())
            return size;
        const QAbstractItemModel *model = table->model();
        qreal widest = 0;
        for (int column = 0; column < model->columnCount(); ++column) {
            const QModelIndex header = model->index(0, column);
            const QVariant font = header.data(Qt::FontRole);
            const QFontMetricsF metrics(font.isValid() ? font.value<QFont>() : table->font());
            widest = qMax(widest, metrics.horizontalAdvance(header.data().toString()));
        }
        const int margin =
            table->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, table) + 1;
        const int column = int(std::ceil(widest)) + 2 * margin;
        QMargins around = contentsMargins();
        if (layout())
            around += layout()->contentsMargins();
        const int width = model->columnCount() * column + 2 * table->frameWidth() + around.left() +
                          around.right();
        size.setWidth(qMax(size.width(), width));
        return size;
    }

    QSize sizeHint() const override
    {
        return minimumSizeHint().expandedTo(QCalendarWidget::sizeHint());
    }
};

} // namespace

DatePicker::DatePicker(QWidget *parent) : QDateEdit(parent)
{
    setCalendarPopup(true);
    auto *calendar = new WeekdayCalendar(this);
    // No week numbers, as in the calendar a date field makes for itself.
    calendar->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    setCalendarWidget(calendar);
    setDisplayFormat(QStringLiteral("dddd dd MMMM yyyy"));
    connect(this, &QDateEdit::dateChanged, this, [this] {
        if (!settingByCode)
            Q_EMIT Change();
    });
}

void DatePicker::setValue(QDate value)
{
    if (!value.isValid())
        return;
    settingByCode = true;
    setDate(value);
    settingByCode = false;
}
