#include "main_window.h"

#include "caption_label.h"
#include "command_button.h"
#include "date_picker.h"
#include "file_list.h"
#include "focus_cue.h"
#include "offset_combo.h"
#include "pictures.h"
#include "text_font.h"

#include <kelvane/conversion.h>
#include <kelvane/input_formats.h>
#include <kelvane/skim.h>
#include <kelvane/version.h>

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPaintEvent>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QShortcut>
#include <QStyle>
#include <QWindow>

#include <utility>

namespace {

const QColor kOrange(255, 128, 0);
const QColor kGreen(0, 255, 0);
const QColor kDarkRed(64, 0, 0);
const QColor kPictureBorder(96, 96, 96);

// Places are kept in twips, 15 to a pixel, measured from the client area's corner.
QRect Twips(int left, int top, int width, int height)
{
    return {left / 15, top / 15, width / 15, height / 15};
}

QPoint Twips(int left, int top)
{
    return {left / 15, top / 15};
}

void SetColours(QWidget *widget, const QColor &text, const QColor &background)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Window, background);
    widget->setPalette(palette);
}

// Names a control and puts it in its place. Names printed on the window show
// only on its bare surface, so every control first paints the window's black
// over them (a button or a check box would paint the grey of a button's face).
template <typename Control>
Control *Place(Control *control, QAnyStringView name, const QString &tip, QRect place)
{
    control->setObjectName(name);
    control->setToolTip(tip);
    control->setGeometry(place);
    control->setBackgroundRole(QPalette::Window);
    control->setAutoFillBackground(true);
    return control;
}

// A check box counts as on only when it is ticked, never when grayed.
bool IsOn(const QCheckBox *box)
{
    return box->checkState() == Qt::Checked;
}

// Styles draw a check box's caption in one of these roles; set all of them, or
// a dark desktop palette shows through (white captions instead of orange).
void SetCaptionColour(QCheckBox *box, const QColor &colour)
{
    QPalette palette = box->palette();
    for (const auto role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
        palette.setColor(role, colour);
    box->setPalette(palette);
}

// The icon in the sizes desktops ask for, so that none is stretched.
QIcon KelvaneIcon()
{
    QIcon icon;
    for (const int side : {16, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(RenderPicture(QStringLiteral(":/kelvane/icon.svg"), QSize(side, side)));
    return icon;
}

// The window manager's frame is known only once the window shows; until then
// a title bar and borders of the style's sizes stand in for it.
QSize FrameAllowance(const QStyle *style)
{
    const int border = style->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth);
    return {2 * border, style->pixelMetric(QStyle::PM_TitleBarHeight) + 2 * border};
}

} // namespace

frmKelvane::frmKelvane(WindowEnvironment environment, QWidget *parent)
    : QWidget(parent), environment(std::move(environment))
{
    setObjectName(QStringLiteral("frmKelvane"));
    setWindowTitle(QStringLiteral("Kelvane ") + QLatin1StringView(kelvane::kVersion));
    setWindowIcon(KelvaneIcon());
    setFixedSize(798, 605);
    setAutoFillBackground(true);
    SetColours(this, kOrange, Qt::black);

    // Where Comic Sans MS is missing, Comic Neue has the same look.
    QFont::insertSubstitution(QStringLiteral("Comic Sans MS"), QStringLiteral("Comic Neue"));
    QFont font(QStringLiteral("Comic Sans MS"));
    font.setPointSize(12);
    font.setWeight(QFont::Normal);
    setFont(font);

    createControls();
    nameControls();
    addDayKeys();
    setTabOrder();
}

frmKelvane::~frmKelvane()
{
    // The scrolling frame holds the window as its child: let go of it first.
    if (scrollFrame) {
        scrollFrame->takeWidget();
        delete scrollFrame;
    }
}

void frmKelvane::createControls()
{
    // Made from the bottom of the pile to its top: later controls cover earlier ones.
    createPictures();
    createButtons();
    createDayLabels();
    createCheckBoxes();
    createOffsetControls();
    createControlsShownOnDemand();
    focusCue = new FocusCue(this);
}

void frmKelvane::createPictures()
{
    const struct {
        QLabel *frmKelvane::*control;
        const char *name;
        QRect place; // the picture and a one-pixel border on each side
        QString tip;
        QString accessibleName;
    } pictures[] = {
        {&frmKelvane::Picture2, "Picture2", QRect(Twips(-60, 6060), QSize(802, 180)), QString(),
         QStringLiteral("About Kelvane")},
        {&frmKelvane::picPelko, "picPelko", QRect(Twips(0, 0), QSize(166, 191)),
         QStringLiteral("Pelko only fetches runs. Sticks are beneath him."),
         QStringLiteral("Pelko, the mascot: a terrier's head")},
        {&frmKelvane::Picture1, "Picture1", QRect(Twips(9060, 0), QSize(197, 191)),
         QStringLiteral("Drawings and program \u00a9 2026 the Kelvane developers"),
         QStringLiteral("A husky's head")},
    };
    for (const auto &picture : pictures) {
        auto *box = new QLabel(this);
        box->setFrameShape(QFrame::Box);
        box->setLineWidth(1);
        SetColours(box, kPictureBorder, Qt::black);
        box->setAccessibleName(picture.accessibleName);
        this->*picture.control = Place(box, picture.name, picture.tip, picture.place);
    }
    // The banner's words, for those who cannot see them.
    Picture2->setAccessibleDescription(
        PictureText(QStringLiteral(":/kelvane/banner.svg")).join(QLatin1Char('\n')));
    drawPictures();
}

// Draws the pictures in as many pixels as the screen shows for their size.
void frmKelvane::drawPictures()
{
    const struct {
        QLabel *box;
        const char *resource;
    } pictures[] = {
        {Picture2, ":/kelvane/banner.svg"},
        {picPelko, ":/kelvane/pelko.svg"},
        {Picture1, ":/kelvane/dog.svg"},
    };
    for (const auto &picture : pictures) {
        const QSize size = picture.box->size() - QSize(2, 2);
        picture.box->setPixmap(
            RenderPicture(QString::fromLatin1(picture.resource), size, devicePixelRatioF()));
    }
}

void frmKelvane::createButtons()
{
    const struct {
        CommandButton *frmKelvane::*control;
        const char *name;
        QString caption;
        QString tip;
        QRect place;
        void (frmKelvane::*click)();
    } buttons[] = {
        {&frmKelvane::cmdToday, "cmdToday", QStringLiteral("T&oday"),
         QStringLiteral("Parses a single day"), Twips(4665, 855, 2715, 495),
         &frmKelvane::cmdToday_Click},
        {&frmKelvane::cmdPast7, "cmdPast7", QStringLiteral("L&ast 7 Days"),
         QStringLiteral("Parses the last user set number of days"), Twips(4665, 1980, 2715, 495),
         &frmKelvane::cmdPast7_Click},
        {&frmKelvane::cmdRange, "cmdRange", QStringLiteral("R&ange"),
         QStringLiteral("Parses a range of days"), Twips(4665, 3060, 2715, 495),
         &frmKelvane::cmdRange_Click},
        {&frmKelvane::cmdAll, "cmdAll", QStringLiteral("&All"),
         QStringLiteral("Parses an entire data file into daily files"),
         Twips(4665, 4185, 2715, 495), &frmKelvane::cmdAll_Click},
        {&frmKelvane::cmdSelFile, "cmdSelFile", QStringLiteral("Input File"),
         QStringLiteral("Change the name of the input file"), Twips(4680, 5280, 2715, 495),
         &frmKelvane::cmdSelFile_Click},
        {&frmKelvane::cmdExit, "cmdExit", QStringLiteral("E&xit"),
         QStringLiteral("Get out of town!"), Twips(10680, 8160, 1215, 495),
         &frmKelvane::cmdExit_Click},
    };
    for (const auto &button : buttons) {
        CommandButton *made =
            Place(new CommandButton(button.caption, this), button.name, button.tip, button.place);
        connect(made, &QPushButton::clicked, this, button.click);
        this->*button.control = made;
    }
}

void frmKelvane::createDayLabels()
{
    const QString rangeTip = QStringLiteral("Change the start and end dates of the range");
    struct {
        QRect place;
        QString tip;
        CaptionLabel::Anchor anchor;
        double anchorX;
        Qt::Alignment alignment;
    } labels[4] = {
        {Twips(5670, 1440, 705, 345),
         QStringLiteral("Change the date of the single day you wish to parse"),
         CaptionLabel::Anchor::Centre, 6022.5 / 15, Qt::AlignHCenter},
        {Twips(5655, 2520, 735, 345), QStringLiteral("Change how far you want to go back in days"),
         CaptionLabel::Anchor::Centre, 6022.5 / 15, Qt::AlignHCenter},
        {Twips(5085, 3660, 705, 345), rangeTip, CaptionLabel::Anchor::Right, (5085 + 705) / 15.0,
         Qt::AlignRight},
        {Twips(6225, 3660, 705, 345), rangeTip, CaptionLabel::Anchor::Left, 6225 / 15.0,
         Qt::AlignLeft},
    };
    // Read from right to left, the range still reads first day, "to", last day.
    if (QLocale().textDirection() == Qt::RightToLeft)
        std::swap(labels[2], labels[3]);
    for (int i = 0; i < 4; ++i) {
        auto *label = new CaptionLabel(i, this);
        SetColours(label, kGreen, Qt::black);
        label->setAlignment(labels[i].alignment | Qt::AlignTop);
        label->setText(QStringLiteral("Label1"));
        Place(label, QStringLiteral("labDayPic%1").arg(i), labels[i].tip, labels[i].place);
        label->setAnchor(labels[i].anchor, labels[i].anchorX);
        connect(label, &CaptionLabel::Click, this, &frmKelvane::labDayPic_Click);
        connect(label, &CaptionLabel::Change, this, &frmKelvane::labDayPic_Change);
        labDayPic[i] = label;
    }
    LabTxt01 = Place(new QLabel(QStringLiteral("to"), this), "LabTxt01", rangeTip,
                     Twips(5865, 3660, 315, 375));
    SetColours(LabTxt01, kGreen, Qt::black);
    LabTxt01->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
}

void frmKelvane::createCheckBoxes()
{
    const struct {
        QCheckBox *frmKelvane::*control;
        const char *name;
        QString caption;
        QString tip;
        bool ticked;
        QRect place;
        void (frmKelvane::*click)(); // none for the boxes nothing follows
    } boxes[] = {
        {&frmKelvane::ckXMLFlag, "ckXMLFlag", QStringLiteral("XML File"),
         QStringLiteral("Output to XML Data files suitable bor applications like "
                        "USAPhotoMaps or GPS V isualizer"),
         true, Twips(120, 4185, 2415, 345), &frmKelvane::ckXMLFlag_Click},
        {&frmKelvane::ckTXTFlag, "ckTXTFlag", QStringLiteral("CSV Text File"),
         QStringLiteral("Output comma delineated files suitable for "
                        "applicatioins like Streets and Trips"),
         false, Twips(120, 4680, 2415, 345), &frmKelvane::ckTXTFlag_Click},
        {&frmKelvane::chkGPXFlag, "chkGPXFlag", QStringLiteral("GPX File"), QString(), false,
         Twips(120, 5160, 2415, 345), nullptr},
        {&frmKelvane::chkHighAscii, "chkHighAscii", QStringLiteral("Convert High Ascii"), QString(),
         false, Twips(120, 5640, 2415, 345), nullptr},
    };
    for (const auto &box : boxes) {
        auto *made = Place(new QCheckBox(box.caption, this), box.name, box.tip, box.place);
        SetCaptionColour(made, kOrange);
        made->setChecked(box.ticked);
        if (box.click)
            connect(made, &QCheckBox::clicked, this, box.click);
        this->*box.control = made;
    }
}

void frmKelvane::createOffsetControls()
{
    cbZOffset = Place(new OffsetCombo(this), "cbZOffset", QString(), Twips(9540, 4680, 855, 465));
    QPalette palette = cbZOffset->palette();
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Text, kDarkRed);
    cbZOffset->setPalette(palette);
    cbZOffset->hide();
    connect(cbZOffset, &OffsetCombo::Click, this, &frmKelvane::cbZOffset_Click);

    labTxtZOffset = Place(new QLabel(QStringLiteral("Zulu Offset"), this), "labTxtZOffset",
                          QString(), Twips(10440, 4740, 1335, 495));
    SetColours(labTxtZOffset, kOrange, Qt::black);
    labTxtZOffset->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    labTxtZOffset->setBuddy(cbZOffset);
    labTxtZOffset->hide();
}

// The progress bar appears when a conversion starts, the file list when
// "Input File" is pressed, the picker when a date label is clicked.
void frmKelvane::createControlsShownOnDemand()
{
    prbDays = Place(new QProgressBar(this), "prbDays", QString(), Twips(60, 8760, 11895, 255));
    prbDays->setRange(0, 100);
    prbDays->setValue(0);
    prbDays->setTextVisible(false);
    prbDays->hide();

    File1 = Place(
        new FileList(environment.workingFolder, kelvane::inputFilePatterns().join(u';'), this),
        "File1", QString(), Twips(7320, 2820, 4635, 5955));
    File1->hide();
    connect(File1, &FileList::Click, this, &frmKelvane::File1_Click);
    connect(File1, &FileList::Dismissed, this, &frmKelvane::closeFileList);

    DTPicker1 = Place(new DatePicker(this), "DTPicker1", QString(), Twips(3615, 240, 4815, 435));
    DTPicker1->hide();
    connect(DTPicker1, &DatePicker::Change, this, &frmKelvane::DTPicker1_Change);
    connect(DTPicker1, &DatePicker::Dismissed, this, &frmKelvane::closePicker);
}

// Names for screen readers where a control shows no caption of its own, or
// shows a value rather than what it is.
void frmKelvane::nameControls()
{
    // The label beside the offset names it; on Linux a combo box's own name
    // is its value, and readers take the label from the buddy relation.
    cbZOffset->setAccessibleName(labTxtZOffset->text());
    cbZOffset->lineEdit()->setAccessibleName(labTxtZOffset->text());
    File1->setAccessibleName(QStringLiteral("Input File"));
    DTPicker1->setAccessibleName(QStringLiteral("Date"));
    prbDays->setAccessibleName(QStringLiteral("Progress"));
}

// F4 on a run button changes the day in the label below it (Shift+F4 on
// Range: its last day), for those who do not use the mouse.
void frmKelvane::addDayKeys()
{
    const struct {
        CommandButton *frmKelvane::*button;
        QKeySequence key;
        int label;
        const char *day;
    } keys[] = {
        {&frmKelvane::cmdToday, QKeySequence(Qt::Key_F4), 0, "day"},
        {&frmKelvane::cmdPast7, QKeySequence(Qt::Key_F4), 1, "first day"},
        {&frmKelvane::cmdRange, QKeySequence(Qt::Key_F4), 2, "first day"},
        {&frmKelvane::cmdRange, QKeySequence(Qt::SHIFT | Qt::Key_F4), 3, "last day"},
    };
    for (const auto &key : keys) {
        CommandButton *button = this->*key.button;
        new QShortcut(
            key.key, button, [this, label = key.label] { openPickerFromKeyboard(label); },
            Qt::WidgetShortcut);
        const QString hint =
            QStringLiteral("%1 changes the %2.")
                .arg(key.key.toString(QKeySequence::NativeText), QLatin1StringView(key.day));
        const QString told = button->accessibleDescription().isEmpty()
                                 ? button->toolTip() + QLatin1Char('.')
                                 : button->accessibleDescription();
        button->setAccessibleDescription(told + QLatin1Char(' ') + hint);
        button->setWhatsThis(button->accessibleDescription());
    }
}

void frmKelvane::setTabOrder()
{
    // Labels, pictures and the progress bar take no focus; hidden controls are
    // passed over by Qt itself.
    const QList<QWidget *> order = {cmdToday,  DTPicker1, cmdPast7,  cmdRange,   cmdAll,
                                    cbZOffset, File1,     cmdExit,   cmdSelFile, chkHighAscii,
                                    ckTXTFlag, ckXMLFlag, chkGPXFlag};
    for (int i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

void frmKelvane::Load()
{
    placeOnScreen();
    window()->show();
    // Moved to a screen of another scale, the pictures are drawn anew for it.
    connect(window()->windowHandle(), &QWindow::screenChanged, this, &frmKelvane::drawPictures);
    cmdToday->setFocus();

    const QDate D40 = presentMoment().date().addDays(-40);
    const QDate D15 = presentMoment().date().addDays(-15);
    setDayLabel(0, presentMoment().date());
    setDayLabel(1, presentMoment().date().addDays(-6));
    setDayLabel(2, D40);
    setDayLabel(3, D15);

    writeSelfTest();

    for (int i = -kelvane::kMaxHourOffset; i <= kelvane::kMaxHourOffset; ++i)
        cbZOffset->addItem(QString::number(i), i);
    cbZOffset->selectItem(kelvane::kMaxHourOffset); // the item "0"

    inputFile = File1->Path() + QLatin1Char('/') + QStringLiteral("walk.xml");
    showInputName(QStringLiteral("walk.xml"));
}

// Centred in the screen's free area. Where the window and its frame do not fit
// (a small screen scaled to 200%), it opens in a frame of the size that fits,
// which scrolls; the controls keep their places inside it.
void frmKelvane::placeOnScreen()
{
    const QScreen *screen = this->screen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    const QSize frame = FrameAllowance(style());
    if ((size() + frame).boundedTo(area.size()) == size() + frame) {
        move(area.center() - rect().center());
        return;
    }
    scrollFrame = new QScrollArea;
    scrollFrame->setObjectName(QStringLiteral("scrollFrame"));
    scrollFrame->setWindowTitle(windowTitle());
    scrollFrame->setWindowIcon(windowIcon());
    scrollFrame->setFrameShape(QFrame::NoFrame);
    scrollFrame->setFocusPolicy(Qt::NoFocus);
    SetColours(scrollFrame, kOrange, Qt::black);
    scrollFrame->setWidget(this);
    scrollFrame->setMaximumSize(size());
    scrollFrame->resize((area.size() - frame).boundedTo(size()));
    scrollFrame->move(area.topLeft());
}

// The file's whole name shows in the tooltip when the button has room for a
// part of it only.
void frmKelvane::showInputName(const QString &name)
{
    const QString tip = QStringLiteral("Change the name of the input file");
    const bool cut = cmdSelFile->setCaption(name);
    cmdSelFile->setToolTip(cut ? name + QLatin1Char('\n') + tip : tip);
}

// Proves the escaping at every start: the escaped sentence, then the sentence.
void frmKelvane::writeSelfTest()
{
    static constexpr char kSentence[] =
        "this is a < test << more <<<< more & and more && and &&& and >";
    const std::string text = kelvane::skim(kSentence) + "\r\n" + kSentence + "\r\n";
    QFile file(environment.workingFolder + QStringLiteral("/test.txt"));
    const bool saved = file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                       file.write(text.data(), qint64(text.size())) == qint64(text.size()) &&
                       file.flush();
    if (!saved) {
        // The window works without the file, so say why and carry on.
        environment.showMessage(
            windowTitle(), QStringLiteral("Cannot write the self-test file \"%1\": %2")
                               .arg(QDir::toNativeSeparators(file.fileName()), file.errorString()));
    }
}

QString frmKelvane::longForm(QDate day) const
{
    return QLocale().toString(day, QStringLiteral("dddd dd MMMM yyyy"));
}

void frmKelvane::beginDays(int minDay, int maxDay)
{
    prbDays->setMaximum(maxDay);
    prbDays->setMinimum(minDay);
    prbDays->show();
    // No event loop runs during a conversion, so paint now.
    prbDays->repaint();
}

void frmKelvane::setDay(int day)
{
    // The bar repaints itself at once, and only when its filled part grows.
    prbDays->setValue(day);
}

// The name of an XML day file is printed once the file is saved, not when the
// run is handed over for saving: a run that cannot be saved leaves no name
// of a file that does not exist.
void frmKelvane::showFileName(const QString &name)
{
    namesToPrint.insert(name);
}

void frmKelvane::fileSaved(const QString &name)
{
    if (namesToPrint.remove(name))
        printLine(name);
}

void frmKelvane::printLine(const QString &name)
{
    printedLines.append(name);
    const int lineHeight = fontMetrics().height();
    const QRect line(0, int(printedLines.size() - 1) * lineHeight, width(), lineHeight);
    if (!line.intersects(rect()))
        return;
    // Painting every name would slow a long conversion; a few dozen a second is plenty.
    if (!lastPrintRepaint.isValid() || lastPrintRepaint.elapsed() >= 40) {
        repaint(line);
        lastPrintRepaint.start();
    } else {
        update(line);
    }
}

void frmKelvane::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.setPen(kOrange);
    const QFontMetrics metrics = fontMetrics();
    const int lineHeight = metrics.height();
    const int first = qMax(0, event->rect().top() / lineHeight);
    const QStringList &lines = PrintedLines();
    const int last = qMin(int(lines.size()) - 1, event->rect().bottom() / lineHeight);
    for (int i = first; i <= last; ++i) {
        painter.setFont(FontForText(font(), lines[i]));
        painter.drawText(0, i * lineHeight + metrics.ascent(), lines[i]);
    }
}

void frmKelvane::cbZOffset_Click()
{
    zOffset = cbZOffset->currentData().toInt();
}

void frmKelvane::ckTXTFlag_Click()
{
    cbZOffset->setVisible(IsOn(ckTXTFlag));
    labTxtZOffset->setVisible(IsOn(ckTXTFlag));
}

void frmKelvane::ckXMLFlag_Click()
{
    chkHighAscii->setVisible(ckXMLFlag->checkState() != Qt::Unchecked);
}

void frmKelvane::cmdSelFile_Click()
{
    // The keyboard goes into the list, on the file chosen last where it is listed.
    const auto chosen = File1->findItems(cmdSelFile->accessibleName(), Qt::MatchExactly);
    if (!File1->isVisible() && !chosen.isEmpty())
        File1->setCurrentItem(chosen.first());
    File1->show();
    File1->setFocus();
}

void frmKelvane::File1_Click()
{
    const QString name = File1->FileName();
    if (name.isEmpty())
        return;
    showInputName(name);
    inputFile = File1->Path() + QLatin1Char('/') + name;
    closeFileList();
}

void frmKelvane::closeFileList()
{
    File1->hide();
    cmdSelFile->setFocus();
}

void frmKelvane::cmdExit_Click()
{
    environment.endProgram();
}
