#include "window_fixture.h"

#include <QCalendarWidget>
#include <QDateEdit>
#include <QLabel>
#include <QLocale>
#include <QScopeGuard>
#include <QStyle>
#include <QTableView>

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
    void calendarHeadersReadWhole_data();
    void calendarHeadersReadWhole();
    void past7OnlyFollowsLabel1();
    void readDayLabelWithoutBlank();
    void otherLanguage();
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
    const QLocale saved;
    QLocale::setDefault(locale);
    const auto restore = qScopeGuard([&] { QLocale::setDefault(saved); });
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
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
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
    QLocale::setDefault(saved);
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
    const QLocale saved;
    QLocale::setDefault(locale);
    const auto restore = qScopeGuard([&] { QLocale::setDefault(saved); });
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
    QCOMPARE(fixture.caption(QStringLiteral("cmdToday")),
             locale.toString(friday, QStringLiteral("dddd")));
    fixture.pick(1, kToday.addDays(-1));
    QCOMPARE(fixture.caption(QStringLiteral("cmdPast7")), QStringLiteral("Last 2 Days"));
    QDate day;
    window.ReadDayLabel(0, day);
    QCOMPARE(day, friday);
}

QTEST_MAIN(TestDayLabels)
#include "test_day_labels.moc"
