#include "test_fixtures.h"
#include "window_fixture.h"

#include <kelvane/version.h>

#include <QAbstractItemView>
#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QProxyStyle>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QScrollArea>
#include <QStyleOptionButton>

namespace {

const QColor kOrange(255, 128, 0);

// What a screen reader says a control is: the label that names it, else its
// own name.
QString SpokenName(QWidget *control)
{
    QAccessibleInterface *self = QAccessible::queryAccessibleInterface(control);
    const auto labels = self->relations(QAccessible::Label);
    return (labels.isEmpty() ? self : labels.first().first)->text(QAccessible::Name);
}

// Draws check box captions in one palette role, as some styles do.
class CaptionRoleStyle : public QProxyStyle {
  public:
    explicit CaptionRoleStyle(QPalette::ColorRole role)
        : QProxyStyle(QStringLiteral("Fusion")), role(role)
    {
    }

    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget) const override
    {
        if (element != CE_CheckBoxLabel)
            return QProxyStyle::drawControl(element, option, painter, widget);
        const QString text = static_cast<const QStyleOptionButton *>(option)->text;
        drawItemText(painter, option->rect, Qt::AlignVCenter, option->palette, true, text, role);
    }

  private:
    QPalette::ColorRole role;
};

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void startUpCaptions_data();
    void startUpCaptions();
    void startUpVisibility_data();
    void startUpVisibility();
    void startUpValues();
    void selfTestFile();
    void selfTestFileCannotBeWritten();
    void geometry_data();
    void geometry();
    void onScreen();
    void accessibleNames_data();
    void accessibleNames();
    void rangeReadsFirstToLast_data();
    void rangeReadsFirstToLast();
    void checkBoxCaptionsOnDarkPalette_data();
    void checkBoxCaptionsOnDarkPalette();
    void tabOrderAndFocus();
    void switchCouplings_data();
    void switchCouplings();
    void offsetChosenFromList();
    void offsetNotChangedByTyping();
    void offsetTypedThenFocusLeaves_data();
    void offsetTypedThenFocusLeaves();
    void offsetChosenFromOpenList();
    void fileListChoice();
    void fileListFromKeyboard();
    void longFileName();
    void fileListEmptyFolder();
    void exitEndsProgram();
    void keyPressesFocusedButton_data();
    void keyPressesFocusedButton();
    void progressOnBarAndSurface();
    void controlsCoverPrintedNames_data();
    void controlsCoverPrintedNames();
};

void TestMainWindow::startUpCaptions_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("tip");

    const QString rangeTip = QStringLiteral("Change the start and end dates of the range");
    QTest::newRow("cmdToday") << "cmdToday"
                              << "Today"
                              << "Parses a single day";
    QTest::newRow("cmdPast7") << "cmdPast7"
                              << "Last 7 Days"
                              << "Parses the last user set number of days";
    QTest::newRow("cmdRange") << "cmdRange"
                              << "R&ange"
                              << "Parses a range of days";
    QTest::newRow("cmdAll") << "cmdAll"
                            << "&All"
                            << "Parses an entire data file into daily files";
    QTest::newRow("cmdExit") << "cmdExit"
                             << "E&xit"
                             << "Get out of town!";
    QTest::newRow("cmdSelFile") << "cmdSelFile"
                                << "walk.xml"
                                << "Change the name of the input file";
    QTest::newRow("labDayPic0") << "labDayPic0"
                                << "Monday 07 December 2026"
                                << "Change the date of the single day you wish to parse";
    QTest::newRow("labDayPic1") << "labDayPic1"
                                << "Tuesday 01 December 2026"
                                << "Change how far you want to go back in days";
    QTest::newRow("labDayPic2") << "labDayPic2"
                                << "Wednesday 28 October 2026" << rangeTip;
    QTest::newRow("labDayPic3") << "labDayPic3"
                                << "Sunday 22 November 2026" << rangeTip;
    QTest::newRow("LabTxt01") << "LabTxt01"
                              << "to" << rangeTip;
    QTest::newRow("labTxtZOffset") << "labTxtZOffset"
                                   << "Zulu Offset"
                                   << "";
    QTest::newRow("cbZOffset") << "cbZOffset"
                               << "0"
                               << "";
    QTest::newRow("chkHighAscii") << "chkHighAscii"
                                  << "Convert High Ascii"
                                  << "";
    QTest::newRow("ckTXTFlag") << "ckTXTFlag"
                               << "CSV Text File"
                               << "Output comma delineated files suitable for applicatioins like "
                                  "Streets and Trips";
    QTest::newRow("ckXMLFlag") << "ckXMLFlag"
                               << "XML File"
                               << "Output to XML Data files suitable bor applications like "
                                  "USAPhotoMaps or GPS V isualizer";
    QTest::newRow("chkGPXFlag") << "chkGPXFlag"
                                << "GPX File"
                                << "";
}

void TestMainWindow::startUpCaptions()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QString, tip);
    WindowFixture fixture;
    fixture.open();
    QCOMPARE(fixture.caption(name), caption);
    QCOMPARE(fixture.control(name)->toolTip(), tip);
    QCOMPARE(fixture.window->windowTitle(),
             QStringLiteral("Kelvane ") + QLatin1StringView(kelvane::kVersion));
}

void TestMainWindow::startUpVisibility_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("visible");
    QTest::addColumn<int>("checkState"); // -1 for controls that are not check boxes

    QTest::newRow("XML on") << "ckXMLFlag" << true << int(Qt::Checked);
    QTest::newRow("CSV off") << "ckTXTFlag" << true << int(Qt::Unchecked);
    QTest::newRow("GPX off") << "chkGPXFlag" << true << int(Qt::Unchecked);
    QTest::newRow("high ascii off but shown") << "chkHighAscii" << true << int(Qt::Unchecked);
    QTest::newRow("offset combo hidden") << "cbZOffset" << false << -1;
    QTest::newRow("Zulu Offset hidden") << "labTxtZOffset" << false << -1;
    QTest::newRow("file list hidden") << "File1" << false << -1;
    QTest::newRow("progress bar hidden") << "prbDays" << false << -1;
    QTest::newRow("date picker hidden") << "DTPicker1" << false << -1;
    QTest::newRow("pictures shown") << "Picture2" << true << -1;
}

void TestMainWindow::startUpVisibility()
{
    QFETCH(QString, name);
    QFETCH(bool, visible);
    QFETCH(int, checkState);
    WindowFixture fixture;
    fixture.open();
    QCOMPARE(fixture.control(name)->isVisible(), visible);
    if (checkState >= 0)
        QCOMPARE(int(fixture.control<QCheckBox>(name)->checkState()), checkState);
}

void TestMainWindow::startUpValues()
{
    WindowFixture fixture;
    frmKelvane &window = fixture.open();
    QCOMPARE(window.ZOffset(), 0);
    QCOMPARE(window.InputFile(), fixture.folder.path() + QStringLiteral("/walk.xml"));
    QCOMPARE(window.DayPicIndex(), 0);
    QVERIFY(fixture.messages.isEmpty());

    const auto *combo = fixture.control<QComboBox>(QStringLiteral("cbZOffset"));
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    QStringList expected;
    for (int i = -12; i <= 12; ++i)
        expected << QString::number(i);
    QCOMPARE(items, expected);
    QCOMPARE(combo->currentIndex(), 12);

    const auto *bar = fixture.control<QProgressBar>(QStringLiteral("prbDays"));
    QCOMPARE(bar->minimum(), 0);
    QCOMPARE(bar->maximum(), 100);
}

void TestMainWindow::selfTestFile()
{
    WindowFixture fixture;
    // An older, longer file is replaced, not extended.
    fixture.addFile(QStringLiteral("test.txt"), QByteArray(500, 'x'));
    fixture.open();
    QFile file(fixture.folder.filePath(QStringLiteral("test.txt")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(),
             QByteArray("this is a &#60; test &#60;&#60; more &#60;&#60;&#60;&#60; more &#38; and "
                        "more &#38;&#38; and &#38;&#38;&#38; and >\r\n"
                        "this is a < test << more <<<< more & and more && and &&& and >\r\n"));
}

void TestMainWindow::selfTestFileCannotBeWritten()
{
    WindowFixture fixture;
    // A folder in the file's place cannot be opened for writing, even by root.
    QVERIFY(QDir(fixture.folder.path()).mkdir(QStringLiteral("test.txt")));
    frmKelvane &window = fixture.open();

    QCOMPARE(fixture.messages.size(), 1);
    QVERIFY2(fixture.messages[0].contains(fixture.folder.filePath(QStringLiteral("test.txt"))),
             qPrintable(fixture.messages[0]));
    QCOMPARE(fixture.endCalls, 0);
    // The rest of the start-up still ran.
    QVERIFY(window.isVisible());
    QCOMPARE(fixture.caption(QStringLiteral("cbZOffset")), QStringLiteral("0"));
    QCOMPARE(fixture.caption(QStringLiteral("cmdSelFile")), QStringLiteral("walk.xml"));
    QCOMPARE(window.InputFile(), fixture.folder.path() + QStringLiteral("/walk.xml"));
}

void TestMainWindow::geometry_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("place");

    QTest::newRow("cmdToday") << "cmdToday" << QRect(311, 57, 181, 33);
    QTest::newRow("cmdAll") << "cmdAll" << QRect(311, 279, 181, 33);
    QTest::newRow("cmdSelFile") << "cmdSelFile" << QRect(312, 352, 181, 33);
    QTest::newRow("cmdExit") << "cmdExit" << QRect(712, 544, 81, 33);
    QTest::newRow("DTPicker1") << "DTPicker1" << QRect(241, 16, 321, 29);
    QTest::newRow("cbZOffset") << "cbZOffset" << QRect(636, 312, 57, 31);
    QTest::newRow("File1") << "File1" << QRect(488, 188, 309, 397);
    QTest::newRow("prbDays") << "prbDays" << QRect(4, 584, 793, 17);
    QTest::newRow("ckXMLFlag") << "ckXMLFlag" << QRect(8, 279, 161, 23);
    // Picture boxes fit their pictures plus a one-pixel border.
    QTest::newRow("picPelko") << "picPelko" << QRect(0, 0, 166, 191);
    QTest::newRow("Picture1") << "Picture1" << QRect(604, 0, 197, 191);
    QTest::newRow("Picture2") << "Picture2" << QRect(-4, 404, 802, 180);
}

void TestMainWindow::geometry()
{
    QFETCH(QString, name);
    QFETCH(QRect, place);
    WindowFixture fixture;
    frmKelvane &window = fixture.open();
    QCOMPARE(window.size(), QSize(798, 605));
    QCOMPARE(fixture.control(name)->geometry(), place);
}

// At 100% the window opens as laid out; scaled up on a screen too small for
// it, it opens inside the screen in a frame that scrolls to every control.
// Either way its pictures have a pixel for each of the screen's.
void TestMainWindow::onScreen()
{
    WindowFixture fixture;
    frmKelvane &window = fixture.open();
    const qreal ratio = window.devicePixelRatioF();
    for (const char *name : {"Picture1", "picPelko", "Picture2"}) {
        const auto *box = fixture.control<QLabel>(QString::fromLatin1(name));
        QCOMPARE(box->pixmap().size(), (box->size() - QSize(2, 2)) * ratio);
    }
    QCOMPARE(window.windowIcon().pixmap(QSize(32, 32), ratio).size(), QSize(32, 32) * ratio);

    QWidget *frame = window.window();
    QVERIFY(QTest::qWaitForWindowActive(frame));
    QVERIFY(window.screen()->availableGeometry().contains(frame->frameGeometry()));
    if (ratio == 1) {
        QCOMPARE(frame, &window);
        QCOMPARE(window.size(), QSize(798, 605));
        return;
    }
    auto *scroll = qobject_cast<QScrollArea *>(frame);
    QVERIFY(scroll);
    for (int i = 0; i < 4; ++i) // to cmdExit
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QWidget *exit = fixture.control(QStringLiteral("cmdExit"));
    QCOMPARE(QApplication::focusWidget(), exit);
    const QRect shown(exit->mapTo(scroll->viewport(), QPoint()), exit->size());
    QVERIFY(scroll->viewport()->rect().contains(shown));
}

void TestMainWindow::accessibleNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("spoken");
    QTest::addColumn<QStringList>("told"); // parts of its description

    QTest::newRow("cmdToday") << "cmdToday"
                              << "Today"
                              << QStringList{"Parses a single day.", "F4 changes the day."};
    QTest::newRow("cmdRange") << "cmdRange"
                              << "Range" << QStringList{"Shift+F4 changes the last day."};
    QTest::newRow("cmdSelFile") << "cmdSelFile"
                                << "walk.xml" << QStringList{"Change the name of the input file"};
    QTest::newRow("cbZOffset") << "cbZOffset"
                               << "Zulu Offset" << QStringList{};
    QTest::newRow("ckXMLFlag") << "ckXMLFlag"
                               << "XML File" << QStringList{"USAPhotoMaps"};
    QTest::newRow("labDayPic0") << "labDayPic0"
                                << "Monday 07 December 2026"
                                << QStringList{"Change the date of the single day"};
    QTest::newRow("File1") << "File1"
                           << "Input File" << QStringList{};
    QTest::newRow("DTPicker1") << "DTPicker1"
                               << "Date" << QStringList{};
    QTest::newRow("prbDays") << "prbDays"
                             << "Progress" << QStringList{};
    QTest::newRow("Picture1") << "Picture1"
                              << "A husky's head" << QStringList{"\u00a9 2026"};
    QTest::newRow("picPelko") << "picPelko"
                              << "Pelko, the mascot: a terrier's head"
                              << QStringList{"Pelko only fetches runs."};
    QTest::newRow("Picture2") << "Picture2"
                              << "About Kelvane"
                              << QStringList{
                                     "breaks up the XML data file that the Forerunner Logbook",
                                     "The data file must lie in the folder", "kelvane@example.org",
                                     "no warranty"};
}

void TestMainWindow::accessibleNames()
{
    QFETCH(QString, name);
    QFETCH(QString, spoken);
    QFETCH(QStringList, told);
    WindowFixture fixture;
    fixture.open();
    fixture.control<QCheckBox>(QStringLiteral("ckTXTFlag"))->click(); // shows the offset
    QWidget *control = fixture.control(name);
    QCOMPARE(SpokenName(control), spoken);
    const QString description =
        QAccessible::queryAccessibleInterface(control)->text(QAccessible::Description);
    for (const QString &part : told)
        QVERIFY2(description.contains(part), qPrintable(description));
}

void TestMainWindow::rangeReadsFirstToLast_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::newRow("English") << QLocale::c();
    QTest::newRow("Hebrew, right to left") << QLocale(QLocale::Hebrew, QLocale::Israel);
    QTest::newRow("Arabic, right to left") << QLocale(QLocale::Arabic, QLocale::Egypt);
}

// Labels 0 and 1 and "to" share a centre line; the range reads first, "to",
// last in the language's reading order.
void TestMainWindow::rangeReadsFirstToLast()
{
    QFETCH(QLocale, locale);
    const fixtures::LocaleGuard guard(locale);
    WindowFixture fixture;
    fixture.open();
    const auto centre = [&](const char *name) {
        const QRect place = fixture.control(QString::fromLatin1(name))->geometry();
        return (place.left() + place.left() + place.width()) / 2.0;
    };
    QVERIFY(qAbs(centre("labDayPic0") - 401.5) <= 1);
    QVERIFY(qAbs(centre("labDayPic1") - 401.5) <= 1);
    QVERIFY(qAbs(centre("LabTxt01") - 401.5) <= 1);
    QRect first = fixture.control(QStringLiteral("labDayPic2"))->geometry();
    const QRect to = fixture.control(QStringLiteral("LabTxt01"))->geometry();
    QRect last = fixture.control(QStringLiteral("labDayPic3"))->geometry();
    if (locale.textDirection() == Qt::RightToLeft)
        std::swap(first, last);
    QCOMPARE(first.left() + first.width(), 386);
    QCOMPARE(last.left(), 415);
    QVERIFY(first.left() + first.width() <= to.left());
    QVERIFY(to.left() + to.width() <= last.left());
    // Each label is wide enough for its whole caption.
    for (int i = 0; i < 4; ++i) {
        const auto *label = fixture.control<QLabel>(QStringLiteral("labDayPic%1").arg(i));
        QVERIFY(label->width() >= label->fontMetrics().horizontalAdvance(label->text()));
    }
}

void TestMainWindow::checkBoxCaptionsOnDarkPalette_data()
{
    QTest::addColumn<int>("role");
    QTest::newRow("WindowText") << int(QPalette::WindowText);
    QTest::newRow("ButtonText") << int(QPalette::ButtonText);
    QTest::newRow("Text") << int(QPalette::Text);
}

// A dark desktop palette, white text on grey, does not show through the
// orange of the check boxes' captions, whichever role the style draws them in.
void TestMainWindow::checkBoxCaptionsOnDarkPalette()
{
    QFETCH(int, role);
    const QPalette saved = QApplication::palette();
    QPalette dark(QColor(53, 53, 53));
    for (const auto text : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
        dark.setColor(text, Qt::white);
    QApplication::setPalette(dark);
    const auto restore = qScopeGuard([&] { QApplication::setPalette(saved); });
    WindowFixture fixture;
    fixture.open();
    CaptionRoleStyle style{QPalette::ColorRole(role)};
    auto *box = fixture.control<QCheckBox>(QStringLiteral("chkGPXFlag"));
    box->setStyle(&style);
    const QImage image = box->grab().toImage();
    bool orange = false;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            QVERIFY(QColor(image.pixel(x, y)) != QColor(Qt::white));
            orange = orange || QColor(image.pixel(x, y)) == kOrange;
        }
    }
    QVERIFY(orange);
}

void TestMainWindow::tabOrderAndFocus()
{
    WindowFixture fixture;
    frmKelvane &window = fixture.open();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QCOMPARE(QApplication::focusWidget(), fixture.control(QStringLiteral("cmdToday")));
    // The hidden picker is passed over; the labels take no focus.
    const QStringList expected = {QStringLiteral("cmdPast7"),   QStringLiteral("cmdRange"),
                                  QStringLiteral("cmdAll"),     QStringLiteral("cmdExit"),
                                  QStringLiteral("cmdSelFile"), QStringLiteral("chkHighAscii"),
                                  QStringLiteral("ckTXTFlag"),  QStringLiteral("ckXMLFlag"),
                                  QStringLiteral("chkGPXFlag"), QStringLiteral("cmdToday")};
    for (const QString &name : expected) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), name);
    }
}

void TestMainWindow::switchCouplings_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("clicks");
    QTest::addColumn<bool>("offsetShown");
    QTest::addColumn<bool>("highAsciiShown");

    QTest::newRow("CSV ticked shows the offset") << "ckTXTFlag" << 1 << true << true;
    QTest::newRow("CSV unticked hides it again") << "ckTXTFlag" << 2 << false << true;
    QTest::newRow("XML unticked hides high ascii") << "ckXMLFlag" << 1 << false << false;
    QTest::newRow("XML ticked again shows it") << "ckXMLFlag" << 2 << false << true;
    QTest::newRow("GPX has no coupling") << "chkGPXFlag" << 1 << false << true;
}

void TestMainWindow::switchCouplings()
{
    QFETCH(QString, box);
    QFETCH(int, clicks);
    QFETCH(bool, offsetShown);
    QFETCH(bool, highAsciiShown);
    WindowFixture fixture;
    fixture.open();
    auto *highAscii = fixture.control<QCheckBox>(QStringLiteral("chkHighAscii"));
    highAscii->click(); // ticked: hiding must not change it
    for (int i = 0; i < clicks; ++i)
        QTest::mouseClick(fixture.control(box), Qt::LeftButton, {}, QPoint(5, 10));
    QCOMPARE(fixture.control(QStringLiteral("cbZOffset"))->isVisible(), offsetShown);
    QCOMPARE(fixture.control(QStringLiteral("labTxtZOffset"))->isVisible(), offsetShown);
    QCOMPARE(highAscii->isVisible(), highAsciiShown);
    QCOMPARE(highAscii->checkState(), Qt::Checked);
    QCOMPARE(fixture.window->ZOffset(), 0);
}

void TestMainWindow::offsetChosenFromList()
{
    WindowFixture fixture;
    frmKelvane &window = fixture.open();
    auto *csv = fixture.control<QCheckBox>(QStringLiteral("ckTXTFlag"));
    auto *combo = fixture.control<QComboBox>(QStringLiteral("cbZOffset"));
    csv->click();
    // Five steps up the list from "0" reach "-5".
    for (int i = 0; i < 5; ++i)
        QTest::keyClick(combo, Qt::Key_Up);
    QCOMPARE(combo->currentText(), QStringLiteral("-5"));
    QCOMPARE(window.ZOffset(), -5);

    // Hiding and showing again keeps both the offset and the item shown.
    csv->click();
    QCOMPARE(window.ZOffset(), -5);
    csv->click();
    QVERIFY(combo->isVisible());
    QCOMPARE(combo->currentText(), QStringLiteral("-5"));
}

void TestMainWindow::offsetNotChangedByTyping()
{
    WindowFixture fixture;
    frmKelvane &window = fixture.open();
    fixture.control<QCheckBox>(QStringLiteral("ckTXTFlag"))->click();
    auto *combo = fixture.control<QComboBox>(QStringLiteral("cbZOffset"));
    combo->lineEdit()->clear();
    QTest::keyClicks(combo->lineEdit(), QStringLiteral("7"));
    QCOMPARE(combo->currentText(), QStringLiteral("7"));
    QCOMPARE(window.ZOffset(), 0);
    QCOMPARE(combo->count(), 25);
}

void TestMainWindow::offsetTypedThenFocusLeaves_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("key"); // pressed after typing; 0 for none
    QTest::addColumn<int>("offset");
    QTest::addColumn<QString>("shown"); // the box's text once it has lost focus

    QTest::newRow("7, focus leaves") << "7" << 0 << 0 << "0";
    QTest::newRow("7, Return") << "7" << int(Qt::Key_Return) << 7 << "7";
    QTest::newRow("7, Enter") << "7" << int(Qt::Key_Enter) << 7 << "7";
    QTest::newRow("-12, Return") << "-12" << int(Qt::Key_Return) << -12 << "-12";
    QTest::newRow("no item, focus leaves") << "x" << 0 << 0 << "0";
    QTest::newRow("no item, Return") << "13" << int(Qt::Key_Return) << 0 << "0";
    QTest::newRow("nothing, focus leaves") << "" << 0 << 0 << "0";
}

// Typing chooses no offset; Return or Enter chooses the item typed, and text
// that was not chosen goes back to the chosen item when the box loses focus.
void TestMainWindow::offsetTypedThenFocusLeaves()
{
    QFETCH(QString, typed);
    QFETCH(int, key);
    QFETCH(int, offset);
    QFETCH(QString, shown);
    WindowFixture fixture;
    frmKelvane &window = fixture.open();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    fixture.control<QCheckBox>(QStringLiteral("ckTXTFlag"))->click();
    auto *combo = fixture.control<QComboBox>(QStringLiteral("cbZOffset"));
    combo->setFocus(Qt::MouseFocusReason);
    QVERIFY(combo->hasFocus());

    combo->lineEdit()->selectAll();
    QTest::keyClick(combo, Qt::Key_Backspace);
    QTest::keyClicks(combo, typed);
    QCOMPARE(combo->currentText(), typed);
    QCOMPARE(window.ZOffset(), 0);
    if (key == Qt::Key_Enter)
        QTest::keyClick(combo, Qt::Key_Enter, Qt::KeypadModifier);
    else if (key != 0)
        QTest::keyClick(combo, Qt::Key(key));
    QTest::keyClick(combo, Qt::Key_Tab);

    QVERIFY(!combo->hasFocus());
    QCOMPARE(window.ZOffset(), offset);
    QCOMPARE(combo->currentText(), shown);
    QCOMPARE(combo->itemText(combo->currentIndex()), shown);
    QCOMPARE(combo->count(), 25);
}

void TestMainWindow::offsetChosenFromOpenList()
{
    WindowFixture fixture;
    frmKelvane &window = fixture.open();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    fixture.control<QCheckBox>(QStringLiteral("ckTXTFlag"))->click();
    auto *combo = fixture.control<QComboBox>(QStringLiteral("cbZOffset"));
    combo->setFocus(Qt::MouseFocusReason);
    QTest::keyClicks(combo, QStringLiteral("7"));
    combo->showPopup();
    QVERIFY(QTest::qWaitForWindowExposed(combo->view()->window()));
    // The list opens on the chosen item, and the typed text is not taken.
    QCOMPARE(combo->view()->currentIndex().row(), 12);
    QCOMPARE(window.ZOffset(), 0);
    QTest::keyClick(combo->view(), Qt::Key_Down);
    QTest::keyClick(combo->view(), Qt::Key_Down);
    QTest::keyClick(combo->view(), Qt::Key_Return);
    QCOMPARE(window.ZOffset(), 2);
    QCOMPARE(combo->currentText(), QStringLiteral("2"));
}

void TestMainWindow::fileListChoice()
{
    WindowFixture fixture;
    fixture.addFile(QStringLiteral("walk.xml"));
    fixture.addFile(QStringLiteral("march.xml"));
    fixture.addFile(QStringLiteral("notes.txt"));
    fixture.addFile(QStringLiteral("ride.fit"));
    frmKelvane &window = fixture.open();
    // A file made after the window is not listed: the list is read once.
    fixture.addFile(QStringLiteral("later.xml"));

    auto *list = fixture.control<QListWidget>(QStringLiteral("File1"));
    QStringList names;
    for (int i = 0; i < list->count(); ++i)
        names << list->item(i)->text();
    QCOMPARE(names, QStringList({QStringLiteral("march.xml"), QStringLiteral("ride.fit"),
                                 QStringLiteral("walk.xml")}));

    auto *select = fixture.control<QPushButton>(QStringLiteral("cmdSelFile"));
    QTest::mouseClick(select, Qt::LeftButton);
    QVERIFY(list->isVisible());
    QTest::mouseClick(select, Qt::LeftButton);
    QVERIFY(list->isVisible());
    QCOMPARE(window.InputFile(), fixture.folder.path() + QStringLiteral("/walk.xml"));

    QListWidgetItem *march = list->item(0);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(march).center());
    QCOMPARE(select->text(), QStringLiteral("march.xml"));
    QCOMPARE(window.InputFile(), fixture.folder.path() + QStringLiteral("/march.xml"));
    QVERIFY(!list->isVisible());
}

// The list opened from the keyboard takes the focus on the file chosen last;
// arrows move in it, Return chooses, Escape closes it; what it covers is out of
// the keyboard's reach, and the focus shows as an orange ring.
void TestMainWindow::fileListFromKeyboard()
{
    WindowFixture fixture;
    for (const char *name : {"march.xml", "notes.xml", "walk.xml"})
        fixture.addFile(QString::fromLatin1(name));
    frmKelvane &window = fixture.open();
    QVERIFY(QTest::qWaitForWindowActive(window.window()));
    auto *select = fixture.control<QPushButton>(QStringLiteral("cmdSelFile"));
    auto *list = fixture.control<QListWidget>(QStringLiteral("File1"));
    const auto open = [&] {
        select->setFocus(Qt::TabFocusReason);
        QTest::keyClick(select, Qt::Key_Return);
        QVERIFY(list->isVisible());
        QCOMPARE(QApplication::focusWidget(), list);
    };
    open();
    QCOMPARE(list->currentItem()->text(), QStringLiteral("walk.xml"));
    for (const Qt::Key key : {Qt::Key_Backtab, Qt::Key_Tab}) {
        list->setFocus();
        QTest::keyClick(list, key);
        QVERIFY(QApplication::focusWidget()->objectName() != QStringLiteral("cmdExit"));
    }
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Escape);
    QVERIFY(!list->isVisible());
    QCOMPARE(QApplication::focusWidget(), select);

    open();
    QTest::keyClick(list, Qt::Key_Up);
    QTest::keyClick(list, Qt::Key_Up);
    QTest::keyClick(list, Qt::Key_Return);
    QCOMPARE(window.InputFile(), fixture.folder.filePath(QStringLiteral("march.xml")));
    QVERIFY(!list->isVisible());
    QCOMPARE(QApplication::focusWidget(), select);
    QVERIFY(fixture.control(QStringLiteral("cmdExit"))->isEnabled());

    // Just outside the focused white button, on the black window.
    const QImage image = window.grab().toImage();
    const QPoint beside(select->geometry().left() - 2, select->geometry().center().y());
    QCOMPARE(QColor(image.pixel(beside * window.devicePixelRatioF())), kOrange);
}

// A name too long for the button keeps its start and its end.
void TestMainWindow::longFileName()
{
    WindowFixture fixture;
    const QString name = QStringLiteral("Activities exported from the device on 28 May 2010.xml");
    fixture.addFile(name);
    frmKelvane &window = fixture.open();
    auto *select = fixture.control<QPushButton>(QStringLiteral("cmdSelFile"));
    QTest::mouseClick(select, Qt::LeftButton);
    auto *list = fixture.control<QListWidget>(QStringLiteral("File1"));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(0)).center());
    QCOMPARE(window.InputFile(), fixture.folder.filePath(name));
    QVERIFY2(select->text().startsWith(QStringLiteral("Activities")) &&
                 select->text().endsWith(QStringLiteral("2010.xml")) &&
                 select->text().contains(QChar(0x2026)),
             qPrintable(select->text()));
    QVERIFY(select->fontMetrics().horizontalAdvance(select->text()) < select->width());
    QVERIFY(select->toolTip().startsWith(name));
    QCOMPARE(SpokenName(select), name);
}

void TestMainWindow::fileListEmptyFolder()
{
    WindowFixture fixture;
    fixture.addFile(QStringLiteral("readme.txt"));
    frmKelvane &window = fixture.open();
    auto *list = fixture.control<QListWidget>(QStringLiteral("File1"));
    QCOMPARE(list->count(), 0);
    QVERIFY(!list->isVisible());
    // No walk.xml is no error at start-up.
    QCOMPARE(window.InputFile(), fixture.folder.path() + QStringLiteral("/walk.xml"));
    QVERIFY(fixture.messages.isEmpty());
}

void TestMainWindow::exitEndsProgram()
{
    WindowFixture fixture;
    fixture.open();
    fixture.pick(2, QDate(2026, 11, 1)); // any state; Exit asks nothing
    QTest::mouseClick(fixture.control(QStringLiteral("labDayPic0")), Qt::LeftButton, {},
                      QPoint(3, 3));
    QTest::mouseClick(fixture.control(QStringLiteral("cmdExit")), Qt::LeftButton);
    QCOMPARE(fixture.endCalls, 1);
    QVERIFY(fixture.messages.isEmpty());
}

void TestMainWindow::keyPressesFocusedButton_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("ends");      // the program ends (a conversion ran, or Exit)
    QTest::addColumn<bool>("listShown"); // the file list appeared

    const struct {
        const char *name;
        bool ends;
        bool listShown;
    } buttons[] = {
        {"cmdToday", true, false}, {"cmdPast7", true, false},   {"cmdRange", true, false},
        {"cmdAll", true, false},   {"cmdSelFile", false, true}, {"cmdExit", true, false},
    };
    const struct {
        const char *name;
        Qt::Key key;
    } keys[] = {{"Return", Qt::Key_Return}, {"Enter", Qt::Key_Enter}, {"Space", Qt::Key_Space}};
    for (const auto &button : buttons) {
        for (const auto &key : keys) {
            QTest::addRow("%s %s", key.name, button.name)
                << QString::fromLatin1(button.name) << int(key.key) << button.ends
                << button.listShown;
        }
    }
}

// Return and Enter press the button that has the focus, as Space does, and no
// button becomes a default button on the way.
void TestMainWindow::keyPressesFocusedButton()
{
    QFETCH(QString, name);
    QFETCH(int, key);
    QFETCH(bool, ends);
    QFETCH(bool, listShown);
    WindowFixture fixture;
    // One run, on a day no command converts.
    fixture.addFile(QStringLiteral("walk.xml"),
                    "<?xml version=\"1.0\" ?>\r\n<History>\r\n<Run>\r\n"
                    "<StartTime>1949-01-01T10:00:00Z</StartTime>\r\n</Run>\r\n</History>\r\n");
    frmKelvane &window = fixture.open();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    auto *button = fixture.control<QPushButton>(name);
    button->setFocus(Qt::TabFocusReason);
    QVERIFY(button->hasFocus());

    QTest::keyClick(button, Qt::Key(key),
                    key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);

    QCOMPARE(fixture.endCalls, ends ? 1 : 0);
    QCOMPARE(fixture.control(QStringLiteral("File1"))->isVisible(), listShown);
    QCOMPARE(fixture.messages, QStringList());
    QVERIFY(!button->isDefault());
}

void TestMainWindow::progressOnBarAndSurface()
{
    WindowFixture fixture;
    frmKelvane &window = fixture.open();
    auto *bar = fixture.control<QProgressBar>(QStringLiteral("prbDays"));
    window.beginDays(46330, 46363);
    QVERIFY(bar->isVisible());
    QCOMPARE(bar->minimum(), 46330);
    QCOMPARE(bar->maximum(), 46363);
    window.setDay(46350);
    QCOMPARE(bar->value(), 46350);

    // A name is printed once its file is saved.
    window.showFileName(QStringLiteral("20261207_01_Monday.xml"));
    QCOMPARE(window.PrintedLines(), QStringList());
    window.fileSaved(QStringLiteral("20261207_01_Monday.xml"));
    window.showFileName(QStringLiteral("20261207_02_Monday.xml"));
    window.fileSaved(QStringLiteral("20261207_02_Monday.xml"));
    QCOMPARE(window.PrintedLines(), QStringList({QStringLiteral("20261207_01_Monday.xml"),
                                                 QStringLiteral("20261207_02_Monday.xml")}));

    // The names are printed from the top-left corner down, beneath the
    // controls: only their ends show to the right of the mascot's picture.
    const QImage image = window.grab().toImage();
    const int lineHeight = window.fontMetrics().height();
    const QColor orange(255, 128, 0);
    const auto orangeIn = [&](QRect area) {
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                if (QColor(image.pixel(x, y)) == orange)
                    return true;
        return false;
    };
    QVERIFY(orangeIn(QRect(167, 0, 70, lineHeight)));
    QVERIFY(orangeIn(QRect(167, lineHeight, 70, lineHeight)));
    QVERIFY(!orangeIn(QRect(167, 2 * lineHeight, 70, lineHeight)));
}

void TestMainWindow::controlsCoverPrintedNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("shownBy"); // what brings up a control hidden at start

    const char *shownAtStart[] = {
        "cmdToday",   "cmdPast7",   "cmdRange",     "cmdAll",     "cmdSelFile", "cmdExit",
        "labDayPic0", "labDayPic1", "labDayPic2",   "labDayPic3", "LabTxt01",   "ckXMLFlag",
        "ckTXTFlag",  "chkGPXFlag", "chkHighAscii", "picPelko",   "Picture1",   "Picture2",
    };
    for (const char *name : shownAtStart)
        QTest::newRow(name) << name << "";
    QTest::newRow("cbZOffset") << "cbZOffset"
                               << "ckTXTFlag";
    QTest::newRow("labTxtZOffset") << "labTxtZOffset"
                                   << "ckTXTFlag";
    QTest::newRow("File1") << "File1"
                           << "cmdSelFile";
    QTest::newRow("DTPicker1") << "DTPicker1"
                               << "labDayPic0";
    QTest::newRow("prbDays") << "prbDays"
                             << "beginDays";
}

// The names of the day files are printed on the window's bare surface: every
// control hides what lies beneath it, so no name garbles its caption.
void TestMainWindow::controlsCoverPrintedNames()
{
    QFETCH(QString, name);
    QFETCH(QString, shownBy);
    WindowFixture fixture;
    frmKelvane &window = fixture.open();
    if (shownBy == QStringLiteral("beginDays"))
        window.beginDays(46330, 46363);
    else if (!shownBy.isEmpty())
        QTest::mouseClick(fixture.control(shownBy), Qt::LeftButton, {}, QPoint(3, 3));
    QWidget *control = fixture.control(name);
    QVERIFY(control->isVisible());
    const QImage bare = window.grab().toImage();

    // Lines as wide as the window, from the top to below the bottom edge.
    const QString line = QStringLiteral("20261207_01_Monday.xml ").repeated(6);
    for (int i = 0; i < 40; ++i) {
        window.showFileName(line + QString::number(i));
        window.fileSaved(line + QString::number(i));
    }
    const QImage printed = window.grab().toImage();
    QVERIFY(printed != bare);

    const QRect place = control->geometry() & window.rect();
    for (int y = place.top(); y <= place.bottom(); ++y) {
        for (int x = place.left(); x <= place.right(); ++x) {
            if (printed.pixel(x, y) != bare.pixel(x, y))
                QFAIL(qPrintable(QStringLiteral("printed text shows at (%1, %2)").arg(x).arg(y)));
        }
    }
}

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
