#include "date_picker.h"

#include "text_font.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QKeyEvent>
#include <QLayout>
#include <QLocale>
#include <QScopedValueRollback>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTableView>

#include <cmath>
#include <utility>

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

// Every name of a month or a weekday the field and its calendar may show.
QString DayAndMonthNames()
{
    const QLocale locale;
    QStringList names;
    for (int month = 1; month <= 12; ++month)
        names << locale.monthName(month) << locale.standaloneMonthName(month);
    for (int day = 1; day <= 7; ++day) {
        names << locale.dayName(day) << locale.standaloneDayName(day, QLocale::ShortFormat)
              << locale.standaloneDayName(day, QLocale::NarrowFormat);
    }
    return names.join(QLatin1Char(' '));
}

} // namespace

DatePicker::DatePicker(QWidget *parent) : QDateEdit(parent)
{
    setCalendarPopup(true);
    auto *calendar = new WeekdayCalendar(this);
    // No week numbers, as in the calendar a date field makes for itself.
    calendar->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    setCalendarWidget(calendar);
    setDisplayFormat(QStringLiteral("dddd dd MMMM yyyy"));
    FitFontToText(this, DayAndMonthNames());
    // While the calendar is open its arrow keys move the field's date along;
    // only the day chosen in it counts.
    calendarWindow()->installEventFilter(this);
    connect(this, &QDateEdit::dateChanged, this, [this] {
        if (!ignoringChanges && !calendarWindow()->isVisible())
            Q_EMIT Change();
    });
    const auto dayChosen = [this] {
        if (!std::exchange(calendarOpen, false))
            return;
        Q_EMIT Change();
    };
    connect(calendar, &QCalendarWidget::clicked, this, dayChosen);
    connect(calendar, &QCalendarWidget::activated, this, dayChosen);
}

QWidget *DatePicker::calendarWindow() const
{
    return calendarWidget()->window();
}

void DatePicker::setValue(QDate value)
{
    if (!value.isValid())
        return;
    const QScopedValueRollback ignoring(ignoringChanges, true);
    setDate(value);
}

void DatePicker::openCalendar()
{
    // The field opens its calendar for a press on its arrow, and for nothing else.
    QStyleOptionComboBox option;
    option.initFrom(this);
    option.editable = true;
    option.subControls = QStyle::SC_All;
    const QPointF arrow =
        style()
            ->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxArrow, this)
            .center();
    QMouseEvent press(QEvent::MouseButtonPress, arrow, mapToGlobal(arrow), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(this, &press);
}

void DatePicker::keyPressEvent(QKeyEvent *event)
{
    const bool altDown = event->key() == Qt::Key_Down && event->modifiers() == Qt::AltModifier;
    if ((event->key() == Qt::Key_F4 && event->modifiers() == Qt::NoModifier) || altDown) {
        openCalendar();
        event->accept();
    } else if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        Q_EMIT Dismissed();
        event->accept();
    } else {
        QDateEdit::keyPressEvent(event);
    }
}

bool DatePicker::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != calendarWindow())
        return QDateEdit::eventFilter(watched, event);
    if (event->type() == QEvent::Show)
        calendarOpen = true;
    if (event->type() == QEvent::Hide) {
        // Closed without a day chosen, the calendar puts back the date it
        // opened with while it hides: no change either.
        const QScopedValueRollback ignoring(ignoringChanges, true);
        watched->event(event);
        return true;
    }
    return QDateEdit::eventFilter(watched, event);
}
