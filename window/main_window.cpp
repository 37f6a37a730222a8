#include "main_window.h"

#include "caption_label.h"
#include "command_button.h"
#include "date_picker.h"
#include "file_list.h"
#include "offset_combo.h"
#include "pictures.h"

#include <kelvane/conversion.h>
#include <kelvane/skim.h>
#include <kelvane/version.h>

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QLocale>
#include <QPaintEvent>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

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

} // namespace

frmKelvane::frmKelvane(WindowEnvironment environment, QWidget *parent)
    : QWidget(parent), environment(std::move(environment))
{
    setObjectName(QStringLiteral("frmKelvane"));
    setWindowTitle(QStringLiteral("Kelvane ") + QLatin1StringView(kelvane::kVersion));
    setWindowIcon(QIcon(RenderPicture(QStringLiteral(":/kelvane/icon.svg"), QSize(32, 32))));
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
    setTabOrder();
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
}

void frmKelvane::createPictures()
{
    const struct {
        QLabel *frmKelvane::*control;
        const char *name;
        QString resource;
        QSize size; // the box adds a one-pixel border on each side
        QPoint topLeft;
        QString tip;
    } pictures[] = {
        {&frmKelvane::Picture2, "Picture2", QStringLiteral(":/kelvane/banner.svg"), QSize(800, 178),
         Twips(-60, 6060), QString()},
        {&frmKelvane::picPelko, "picPelko", QStringLiteral(":/kelvane/pelko.svg"), QSize(164, 189),
         Twips(0, 0), QStringLiteral("Pelko only fetches runs. Sticks are beneath him.")},
        {&frmKelvane::Picture1, "Picture1", QStringLiteral(":/kelvane/dog.svg"), QSize(195, 189),
         Twips(9060, 0), QStringLiteral("Drawings and program \u00a9 2026 the Kelvane developers")},
    };
    for (const auto &picture : pictures) {
        auto *box = new QLabel(this);
        box->setFrameShape(QFrame::Box);
        box->setLineWidth(1);
        SetColours(box, kPictureBorder, Qt::black);
        box->setPixmap(RenderPicture(picture.resource, picture.size));
        this->*picture.control = Place(box, picture.name, picture.tip,
                                       QRect(picture.topLeft, picture.size + QSize(2, 2)));
    }
}

void frmKelvane::createButtons()
{
    const struct {
        QPushButton *frmKelvane::*control;
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
        QPushButton *made =
            Place(new CommandButton(button.caption, this), button.name, button.tip, button.place);
        connect(made, &QPushButton::clicked, this, button.click);
        this->*button.control = made;
    }
}

void frmKelvane::createDayLabels()
{
    const QString rangeTip = QStringLiteral("Change the start and end dates of the range");
    const struct {
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

    File1 = Place(new FileList(environment.workingFolder, QStringLiteral("*.xml;*.tcx"), this),
                  "File1", QString(), Twips(7320, 2820, 4635, 5955));
    File1->hide();
    connect(File1, &FileList::Click, this, &frmKelvane::File1_Click);

    DTPicker1 = Place(new DatePicker(this), "DTPicker1", QString(), Twips(3615, 240, 4815, 435));
    DTPicker1->hide();
    connect(DTPicker1, &DatePicker::Change, this, &frmKelvane::DTPicker1_Change);
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
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    show();
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
    cmdSelFile->setText(QStringLiteral("walk.xml"));
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

void frmKelvane::showFileName(const QString &name)
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
    painter.setFont(font());
    const QFontMetrics metrics = fontMetrics();
    const int lineHeight = metrics.height();
    const int first = qMax(0, event->rect().top() / lineHeight);
    const QStringList &lines = PrintedLines();
    const int last = qMin(int(lines.size()) - 1, event->rect().bottom() / lineHeight);
    for (int i = first; i <= last; ++i)
        painter.drawText(0, i * lineHeight + metrics.ascent(), lines[i]);
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
    File1->show();
}

void frmKelvane::File1_Click()
{
    const QString name = File1->FileName();
    if (name.isEmpty())
        return;
    cmdSelFile->setText(name);
    inputFile = File1->Path() + QLatin1Char('/') + name;
    File1->hide();
}

void frmKelvane::cmdExit_Click()
{
    environment.endProgram();
}
