#include "test_fixtures.h"
#include "window_fixture.h"

#include <QAccessible>
#include <QApplication>
#include <QCalendarWidget>
#include <QDateEdit>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QStyle>
#include <QTableView>
#include <QTextLayout>

namespace {

const QDate kToday(2026, 12, 7); // a Monday

QString LongForm(QDate day)
{
    return QLocale().toString(day, QStringLiteral("dddd dd MMMM yyyy"));
}

} // namespace

class TestDayLabels : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void picks_data();
    void picks();
    void clickOpensPickerOnLabelDay();
    void openPickerRetargets();
    void dayClickedInCalendar();
    void dayFromKeyboard_data();
    void dayFromKeyboard();
    void labelPressedByScreenReader();
    void calendarHeadersReadWhole_data();
    void calendarHeadersReadWhole();
    void past7OnlyFollowsLabel1();
    void readDayLabelWithoutBlank();
    void otherLanguage();
    void accentsStayOnTheirLetters_data();
    void accentsStayOnTheirLetters();
    void everyLanguageReadsBack_data();
    void everyLanguageReadsBack();
};

void TestDayLabels::picks_data()
{
    QTest::addColumn<QTime>("timeOfDay");
    QTest::addColumn<int>("index");
    QTest::addColumn<QDate>("picked");
    QTest::addColumn<QDate>("shown");         // the label's day after the pick
    QTest::addColumn<QString>("todayButton"); // cmdToday's caption
    QTest::addColumn<QString>("past7Button"); // cmdPast7's caption

    const QTime morning(10, 30);
    const QDate yesterday = kToday.addDays(-1);
    const QDate tomorrow = kToday.addDays(1);
    QTest::newRow("label 1 today") << morning << 1 << kToday << kToday << "Today"
                                   << "Last 1 Days";
    QTest::newRow("label 1 yesterday, just after midnight")
        << QTime(0, 0, 5) << 1 << yesterday << yesterday << "Today"
        << "Last 2 Days";
    QTest::newRow("label 1 yesterday, just before midnight")
        << QTime(23, 59, 59) << 1 << yesterday << yesterday << "Today"
        << "Last 2 Days";
    QTest::newRow("label 1 thirty days back")
        << morning << 1 << kToday.addDays(-30) << kToday.addDays(-30) << "Today"
        << "Last 31 Days";
    QTest::newRow("label 1 tomorrow is pulled back")
        << morning << 1 << tomorrow << kToday << "Today"
        << "Last 1 Days";
    QTest::newRow("label 0 a past Friday")
        << morning << 0 << QDate(2026, 12, 4) << QDate(2026, 12, 4) << "Friday"
        << "Last 7 Days";
    QTest::newRow("label 0 next year is pulled back")
        << morning << 0 << QDate(2027, 3, 1) << kToday << "Today"
        << "Last 7 Days";
    QTest::newRow("label 2 tomorrow is pulled back")
        << morning << 2 << tomorrow << kToday << "Today"
        << "Last 7 Days";
    QTest::newRow("label 3 tomorrow is pulled back")
        << QTime(23, 59, 59) << 3 << tomorrow << kToday << "Today"
        << "Last 7 Days";
    QTest::newRow("label 3 before label 2 is kept")
        << morning << 3 << QDate(2026, 10, 1) << QDate(2026, 10, 1) << "Today"
        << "Last 7 Days";
}

void TestDayLabels::picks()
{
    QFETCH(QTime, timeOfDay);
    QFETCH(int, index);
    QFETCH(QDate, picked);
    QFETCH(QDate, shown);
    QFETCH(QString, todayButton);
    QFETCH(QString, past7Button);
    WindowFixture fixture;
    fixture.now = QDateTime(kToday, timeOfDay);
    fixture.open();
    QStringList before;
    for (int i = 0; i < 4; ++i)
        before << fixture.caption(QStringLiteral("labDayPic%1").arg(i));

    fixture.pick(index, picked);

    for (int i = 0; i < 4; ++i) {
        const QString caption = fixture.caption(QStringLiteral("labDayPic%1").arg(i));
        QCOMPARE(caption, i == index ? LongForm(shown) : before[i]);
    }
    QCOMPARE(fixture.caption(QStringLiteral("cmdToday")), todayButton);
    QCOMPARE(fixture.caption(QStringLiteral("cmdPast7")), past7Button);
    QVERIFY(!fixture.control(QStringLiteral("DTPicker1"))->isVisible());
    QCOMPARE(fixture.window->DayPicIndex(), index);
}

void TestDayLabels::clickOpensPickerOnLabelDay()
{
    WindowFixture fixture;
    fixture.open();
    auto *picker = fixture.control<QDateEdit>(QStringLiteral("DTPicker1"));
    QCOMPARE(picker->displayFormat(), QStringLiteral("dddd dd MMMM yyyy"));
    QTest::mouseClick(fixture.control(QStringLiteral("labDayPic2")), Qt::LeftButton, {},
                      QPoint(3, 3));
    // Loading the picker is no change: it stays open and the label keeps its caption.
    QVERIFY(picker->isVisible());
    QCOMPARE(picker->date(), QDate(2026, 10, 28));
    QCOMPARE(fixture.caption(QStringLiteral("labDayPic2")),
             QStringLiteral("Wednesday 28 October 2026"));
    QCOMPARE(fixture.window->DayPicIndex(), 2);

    // Picking today for label 0 after a past day gives "Today" back.
    fixture.pick(0, QDate(2026, 11, 30));
    QCOMPARE(fixture.caption(QStringLiteral("cmdToday")), QStringLiteral("Monday"));
    fixture.pick(0, kToday);
    QCOMPARE(fixture.caption(QStringLiteral("cmdToday")), QStringLiteral("Today"));
}

void TestDayLabels::openPickerRetargets()
{
    WindowFixture fixture;
    fixture.open();
    auto *picker = fixture.control<QDateEdit>(QStringLiteral("DTPicker1"));
    QTest::mouseClick(fixture.control(QStringLiteral("labDayPic2")), Qt::LeftButton, {},
                      QPoint(3, 3));
    QTest::mouseClick(fixture.control(QStringLiteral("labDayPic3")), Qt::LeftButton, {},
                      QPoint(3, 3));
    QVERIFY(picker->isVisible());
    QCOMPARE(picker->date(), QDate(2026, 11, 22));
    QCOMPARE(fixture.window->DayPicIndex(), 3);

    picker->setDate(QDate(2026, 11, 25));
    QCOMPARE(fixture.caption(QStringLiteral("labDayPic3")),
             QStringLiteral("Wednesday 25 November 2026"));
    QCOMPARE(fixture.caption(QStringLiteral("labDayPic2")),
             QStringLiteral("Wednesday 28 October 2026"));
    QVERIFY(!picker->isVisible());
}

void TestDayLabels::dayClickedInCalendar()
{
    WindowFixture fixture;
    fixture.open();
    auto *picker = fixture.control<QDateEdit>(QStringLiteral("DTPicker1"));
    QTest::mouseClick(fixture.control(QStringLiteral("labDayPic0")), Qt::LeftButton, {},
                      QPoint(3, 3));
    // The arrow at the right end of the field opens the calendar.
    QTest::mouseClick(picker, Qt::LeftButton, {},
                      QPoint(picker->width() - 8, picker->height() / 2));
    QCalendarWidget *calendar = picker->calendarWidget();
    QVERIFY(QTest::qWaitForWindowExposed(calendar->window()));
    Q_EMIT calendar->clicked(QDate(2026, 12, 2));
    QCOMPARE(fixture.caption(QStringLiteral("labDayPic0")),
             QStringLiteral("Wednesday 02 December 2026"));
    QCOMPARE(fixture.caption(QStringLiteral("cmdToday")), QStringLiteral("Wednesday"));
    QVERIFY(!picker->isVisible());
    QVERIFY(!calendar->window()->isVisible());
}

void TestDayLabels::dayFromKeyboard_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QKeySequence>("key");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("last"); // the key pressed after Left in the calendar

    const QKeySequence F4(Qt::Key_F4);
    QTest::newRow("Today, F4") << "cmdToday" << F4 << 0 << int(Qt::Key_Return);
    QTest::newRow("Last 7 Days, F4") << "cmdPast7" << F4 << 1 << int(Qt::Key_Return);
    QTest::newRow("Range, F4") << "cmdRange" << F4 << 2 << int(Qt::Key_Return);
    QTest::newRow("Range, Shift+F4")
        << "cmdRange" << QKeySequence(Qt::SHIFT | Qt::Key_F4) << 3 << int(Qt::Key_Return);
    QTest::newRow("Today, F4, Escape") << "cmdToday" << F4 << 0 << int(Qt::Key_Escape);
}

// A key on a run button opens the calendar on the day of the label below it;
// the arrow keys move in the calendar without changing the label, Return
// chooses and gives the focus back to the button, Escape closes the calendar
// and leaves the day as it was.
void TestDayLabels::dayFromKeyboard()
{
    QFETCH(QString, button);
    QFETCH(QKeySequence, key);
    QFETCH(int, index);
    QFETCH(int, last);
    WindowFixture fixture;
    frmKelvane &window = fixture.open();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QWidget *pressed = fixture.control(button);
    pressed->setFocus(Qt::TabFocusReason);
    const QString label = QStringLiteral("labDayPic%1").arg(index);
    const QString before = fixture.caption(label);
    QDate day;
    window.ReadDayLabel(index, day);

    QTest::keySequence(pressed, key);
    auto *picker = fixture.control<QDateEdit>(QStringLiteral("DTPicker1"));
    QVERIFY(QTest::qWaitForWindowExposed(picker->calendarWidget()->window()));
    auto *days = picker->calendarWidget()->findChild<QTableView *>();
    QTest::keyClick(days, Qt::Key_Left);
    QCOMPARE(fixture.caption(label), before);
    QTest::keyClick(days, Qt::Key(last));

    const bool chosen = last == Qt::Key_Return;
    QCOMPARE(fixture.caption(label), chosen ? LongForm(day.addDays(-1)) : before);
    QCOMPARE(picker->isVisible(), !chosen);
    QCOMPARE(QApplication::focusWidget(), chosen ? pressed : picker);
}

// A screen reader presses a label as the mouse clicks it; Escape closes the
// picker and keeps the day.
void TestDayLabels::labelPressedByScreenReader()
{
    WindowFixture fixture;
    frmKelvane &window = fixture.open();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QWidget *label = fixture.control(QStringLiteral("labDayPic2"));
    QAccessibleActionInterface *actions =
        QAccessible::queryAccessibleInterface(label)->actionInterface();
    QVERIFY(actions && actions->actionNames().contains(QAccessibleActionInterface::pressAction()));
    actions->doAction(QAccessibleActionInterface::pressAction());
    auto *picker = fixture.control<QDateEdit>(QStringLiteral("DTPicker1"));
    QVERIFY(picker->hasFocus());
    QCOMPARE(picker->date(), QDate(2026, 10, 28));
    QTest::keyClick(picker, Qt::Key_Escape);
    QVERIFY(!picker->isVisible());
    QCOMPARE(fixture.caption(QStringLiteral("labDayPic2")),
             QStringLiteral("Wednesday 28 October 2026"));
    QCOMPARE(QApplication::focusWidget(), fixture.control(QStringLiteral("cmdToday")));
}

void TestDayLabels::calendarHeadersReadWhole_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::newRow("C") << QLocale::c();
    const QLocale locales[] = {
        QLocale(QLocale::English, QLocale::UnitedStates),
        QLocale(QLocale::English, QLocale::UnitedKingdom),
        QLocale(QLocale::German, QLocale::Germany),
        QLocale(QLocale::Welsh, QLocale::UnitedKingdom),
        QLocale(QLocale::Vietnamese, QLocale::Vietnam),
        QLocale(QLocale::Hebrew, QLocale::Israel),
        QLocale(QLocale::Russian, QLocale::Russia),
        QLocale(QLocale::Tamil, QLocale::India),
        QLocale(QLocale::Japanese, QLocale::Japan),
    };
    for (const QLocale &locale : locales)
        QTest::newRow(qPrintable(locale.name())) << locale;
}

// Every weekday above the calendar's columns reads whole ("Mon", not "M…").
void TestDayLabels::calendarHeadersReadWhole()
{
    QFETCH(QLocale, locale);
    const fixtures::LocaleGuard guard(locale);
    WindowFixture fixture;
    fixture.open();
    auto *picker = fixture.control<QDateEdit>(QStringLiteral("DTPicker1"));
    QTest::mouseClick(fixture.control(QStringLiteral("labDayPic0")), Qt::LeftButton, {},
                      QPoint(3, 3));
    QTest::mouseClick(picker, Qt::LeftButton, {},
                      QPoint(picker->width() - 8, picker->height() / 2));
    QCalendarWidget *calendar = picker->calendarWidget();
    QVERIFY(QTest::qWaitForWindowExposed(calendar->window()));

    // The weekdays are the first row of the calendar's table.
    const auto *table = calendar->findChild<QTableView *>();
    QVERIFY(table);
    const QAbstractItemModel *model = table->model();
    // The style keeps this margin free on each side of a cell's text.
    const int margin =
        table->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, table) + 1;
    int headers = 0;
    for (int column = 0; column < model->columnCount(); ++column) {
        const QModelIndex header = model->index(0, column);
        const QString text = header.data().toString();
        if (text.isEmpty())
            continue;
        ++headers;
        const QVariant font = header.data(Qt::FontRole);
        const QFontMetricsF metrics(font.isValid() ? font.value<QFont>() : table->font());
        const int room = table->columnWidth(column) - 2 * margin;
        QVERIFY2(metrics.horizontalAdvance(text) <= room,
                 qPrintable(QStringLiteral("\"%1\" is %2 pixels wide, its column has room for %3")
                                .arg(text)
                                .arg(metrics.horizontalAdvance(text))
                                .arg(room)));
    }
    QCOMPARE(headers, 7);
}

// After midnight passes with the window open, only a change of label 1
// recounts the days.
void TestDayLabels::past7OnlyFollowsLabel1()
{
    WindowFixture fixture;
    fixture.open();
    fixture.now = fixture.now.addDays(1);
    fixture.pick(0, QDate(2026, 12, 5));
    fixture.pick(2, QDate(2026, 11, 2));
    fixture.pick(3, QDate(2026, 11, 3));
    QCOMPARE(fixture.caption(QStringLiteral("cmdPast7")), QStringLiteral("Last 7 Days"));
    fixture.pick(1, QDate(2026, 12, 2));
    QCOMPARE(fixture.caption(QStringLiteral("cmdPast7")), QStringLiteral("Last 7 Days"));
    fixture.pick(1, QDate(2026, 12, 1));
    QCOMPARE(fixture.caption(QStringLiteral("cmdPast7")), QStringLiteral("Last 8 Days"));
}

void TestDayLabels::readDayLabelWithoutBlank()
{
    WindowFixture fixture;
    frmKelvane &window = fixture.open(false); // labels still read "Label1"
    QDate day(2001, 2, 3);
    window.ReadDayLabel(1, day);
    QCOMPARE(day, QDate(2001, 2, 3));
    window.Load();
    window.ReadDayLabel(1, day);
    QCOMPARE(day, QDate(2026, 12, 1));
}

// The long form is written and read back in the user's language.
void TestDayLabels::otherLanguage()
{
    const fixtures::LocaleGuard german(QLocale(QLocale::German, QLocale::Germany));
    WindowFixture fixture;
    fixture.open();
    QCOMPARE(fixture.caption(QStringLiteral("labDayPic2")),
             QStringLiteral("Mittwoch 28 Oktober 2026"));
    QCOMPARE(fixture.caption(QStringLiteral("cmdPast7")), QStringLiteral("Last 7 Days"));
    fixture.pick(0, QDate(2026, 12, 4));
    QCOMPARE(fixture.caption(QStringLiteral("cmdToday")), QStringLiteral("Freitag"));
    QDate day;
    fixture.window->ReadDayLabel(0, day);
    QCOMPARE(day, QDate(2026, 12, 4));
}

void TestDayLabels::accentsStayOnTheirLetters_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::newRow("English") << QLocale::c();
    QTest::newRow("Yoruba") << QLocale(QLocale::Yoruba, QLocale::Nigeria);
    QTest::newRow("Vietnamese") << QLocale(QLocale::Vietnamese, QLocale::Vietnam);
}

// Every date is drawn from one font: an accent taken from one font and its
// letter from another stand apart.
void TestDayLabels::accentsStayOnTheirLetters()
{
    QFETCH(QLocale, locale);
    const fixtures::LocaleGuard guard(locale);
    WindowFixture fixture;
    fixture.open();
    fixture.pick(0, QDate(2026, 12, 4));
    for (const char *name : {"labDayPic0", "labDayPic1", "labDayPic2", "labDayPic3", "cmdToday"}) {
        const QWidget *control = fixture.control(QString::fromLatin1(name));
        const QString text = fixture.caption(QString::fromLatin1(name));
        QTextLayout layout(text, control->font());
        layout.beginLayout();
        layout.createLine();
        layout.endLayout();
        QVERIFY2(layout.glyphRuns().size() == 1, qPrintable(text));
    }
}

void TestDayLabels::everyLanguageReadsBack_data()
{
    QTest::addColumn<QLocale>("locale");
    for (const QLocale &locale :
         QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory))
        QTest::newRow(
            qPrintable(locale.name() + QLatin1Char(' ') + QLocale::scriptToString(locale.script())))
            << locale;
}

// Every language Qt knows writes the labels in its own words and reads back
// the same days, weekday names with blanks or digits of other scripts included.
void TestDayLabels::everyLanguageReadsBack()
{
    QFETCH(QLocale, locale);
    const fixtures::LocaleGuard guard(locale);
    WindowFixture fixture;
    frmKelvane &window = fixture.open();
    const QDate days[4] = {kToday, QDate(2026, 12, 1), QDate(2026, 10, 28), QDate(2026, 11, 22)};
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(fixture.caption(QStringLiteral("labDayPic%1").arg(i)),
                 locale.toString(days[i], QStringLiteral("dddd dd MMMM yyyy")));
        QDate day;
        window.ReadDayLabel(i, day);
        QCOMPARE(day, days[i]);
    }
    QCOMPARE(fixture.caption(QStringLiteral("cmdToday")), QStringLiteral("Today"));
    QCOMPARE(fixture.caption(QStringLiteral("cmdPast7")), QStringLiteral("Last 7 Days"));

    const QDate friday(2026, 12, 4);
    fixture.pick(0, friday);
    // The whole name, which a long one shows only in part.
    QCOMPARE(fixture.control(QStringLiteral("cmdToday"))->accessibleName(),
             locale.toString(friday, QStringLiteral("dddd")));
    fixture.pick(1, kToday.addDays(-1));
    QCOMPARE(fixture.caption(QStringLiteral("cmdPast7")), QStringLiteral("Last 2 Days"));
    QDate day;
    window.ReadDayLabel(0, day);
    QCOMPARE(day, friday);
}

QTEST_MAIN(TestDayLabels)
#include "test_day_labels.moc"
