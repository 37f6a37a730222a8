#include "main_window.h"

#include "caption_label.h"
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

void SetColours(QWidget *widget, const QColor &text, const QColor &background)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Window, background);
    widget->setPalette(palette);
}

QPushButton *MakeButton(QWidget *parent, const char *name, const QString &caption,
                        const QString &tip, QRect place)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setToolTip(tip);
    button->setAutoDefault(false);
    button->setGeometry(place);
    return button;
}

QCheckBox *MakeCheckBox(QWidget *parent, const char *name, const QString &caption,
                        const QString &tip, bool ticked, QRect place)
{
    auto *box = new QCheckBox(caption, parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setToolTip(tip);
    box->setChecked(ticked);
    box->setGeometry(place);
    return box;
}

QLabel *MakePicture(QWidget *parent, const char *name, const QString &resource, QSize picture,
                    QPoint topLeft, const QString &tip)
{
    auto *box = new QLabel(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setFrameShape(QFrame::Box);
    box->setLineWidth(1);
    SetColours(box, kPictureBorder, Qt::black);
    box->setPixmap(RenderPicture(resource, picture));
    box->setToolTip(tip);
    // The box fits its picture, one border pixel on each side.
    box->setGeometry(QRect(topLeft, picture + QSize(2, 2)));
    return box;
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
    Picture2 = MakePicture(this, "Picture2", QStringLiteral(":/kelvane/banner.svg"),
                           QSize(800, 178), Twips(-60, 6060, 0, 0).topLeft(), QString());
    picPelko = MakePicture(this, "picPelko", QStringLiteral(":/kelvane/pelko.svg"), QSize(164, 189),
                           Twips(0, 0, 0, 0).topLeft(),
                           QStringLiteral("Pelko only fetches runs. Sticks are beneath him."));
    Picture1 =
        MakePicture(this, "Picture1", QStringLiteral(":/kelvane/dog.svg"), QSize(195, 189),
                    Twips(9060, 0, 0, 0).topLeft(),
                    QStringLiteral("Drawings and program \u00a9 2026 the Kelvane developers"));

    cmdToday = MakeButton(this, "cmdToday", QStringLiteral("T&oday"),
                          QStringLiteral("Parses a single day"), Twips(4665, 855, 2715, 495));
    cmdPast7 = MakeButton(this, "cmdPast7", QStringLiteral("L&ast 7 Days"),
                          QStringLiteral("Parses the last user set number of days"),
                          Twips(4665, 1980, 2715, 495));
    cmdRange = MakeButton(this, "cmdRange", QStringLiteral("R&ange"),
                          QStringLiteral("Parses a range of days"), Twips(4665, 3060, 2715, 495));
    cmdAll = MakeButton(this, "cmdAll", QStringLiteral("&All"),
                        QStringLiteral("Parses an entire data file into daily files"),
                        Twips(4665, 4185, 2715, 495));
    cmdSelFile = MakeButton(this, "cmdSelFile", QStringLiteral("Input File"),
                            QStringLiteral("Change the name of the input file"),
                            Twips(4680, 5280, 2715, 495));
    cmdExit = MakeButton(this, "cmdExit", QStringLiteral("E&xit"),
                         QStringLiteral("Get out of town!"), Twips(10680, 8160, 1215, 495));

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
        label->setObjectName(QStringLiteral("labDayPic%1").arg(i));
        SetColours(label, kGreen, Qt::black);
        label->setAlignment(labels[i].alignment | Qt::AlignTop);
        label->setToolTip(labels[i].tip);
        label->setGeometry(labels[i].place);
        label->setText(QStringLiteral("Label1"));
        label->setAnchor(labels[i].anchor, labels[i].anchorX);
        connect(label, &CaptionLabel::Click, this, &frmKelvane::labDayPic_Click);
        connect(label, &CaptionLabel::Change, this, &frmKelvane::labDayPic_Change);
        labDayPic[i] = label;
    }
    LabTxt01 = new QLabel(QStringLiteral("to"), this);
    LabTxt01->setObjectName(QStringLiteral("LabTxt01"));
    SetColours(LabTxt01, kGreen, Qt::black);
    LabTxt01->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    LabTxt01->setToolTip(rangeTip);
    LabTxt01->setGeometry(Twips(5865, 3660, 315, 375));

    ckXMLFlag =
        MakeCheckBox(this, "ckXMLFlag", QStringLiteral("XML File"),
                     QStringLiteral("Output to XML Data files suitable bor applications like "
                                    "USAPhotoMaps or GPS V isualizer"),
                     true, Twips(120, 4185, 2415, 345));
    ckTXTFlag = MakeCheckBox(this, "ckTXTFlag", QStringLiteral("CSV Text File"),
                             QStringLiteral("Output comma delineated files suitable for "
                                            "applicatioins like Streets and Trips"),
                             false, Twips(120, 4680, 2415, 345));
    chkGPXFlag = MakeCheckBox(this, "chkGPXFlag", QStringLiteral("GPX File"), QString(), false,
                              Twips(120, 5160, 2415, 345));
    chkHighAscii = MakeCheckBox(this, "chkHighAscii", QStringLiteral("Convert High Ascii"),
                                QString(), false, Twips(120, 5640, 2415, 345));

    cbZOffset = new OffsetCombo(this);
    cbZOffset->setObjectName(QStringLiteral("cbZOffset"));
    {
        QPalette palette = cbZOffset->palette();
        palette.setColor(QPalette::Base, Qt::white);
        palette.setColor(QPalette::Text, kDarkRed);
        cbZOffset->setPalette(palette);
    }
    cbZOffset->setGeometry(Twips(9540, 4680, 855, 465));
    cbZOffset->hide();

    labTxtZOffset = new QLabel(QStringLiteral("Zulu Offset"), this);
    labTxtZOffset->setObjectName(QStringLiteral("labTxtZOffset"));
    SetColours(labTxtZOffset, kOrange, Qt::black);
    labTxtZOffset->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    labTxtZOffset->setGeometry(Twips(10440, 4740, 1335, 495));
    labTxtZOffset->hide();

    prbDays = new QProgressBar(this);
    prbDays->setObjectName(QStringLiteral("prbDays"));
    prbDays->setRange(0, 100);
    prbDays->setValue(0);
    prbDays->setTextVisible(false);
    prbDays->setGeometry(Twips(60, 8760, 11895, 255));
    prbDays->hide();

    File1 = new FileList(environment.workingFolder, QStringLiteral("*.xml;*.tcx"), this);
    File1->setObjectName(QStringLiteral("File1"));
    File1->setGeometry(Twips(7320, 2820, 4635, 5955));
    File1->hide();

    DTPicker1 = new DatePicker(this);
    DTPicker1->setObjectName(QStringLiteral("DTPicker1"));
    DTPicker1->setGeometry(Twips(3615, 240, 4815, 435));
    DTPicker1->hide();

    connect(cbZOffset, &OffsetCombo::Click, this, &frmKelvane::cbZOffset_Click);
    connect(ckTXTFlag, &QCheckBox::clicked, this, &frmKelvane::ckTXTFlag_Click);
    connect(ckXMLFlag, &QCheckBox::clicked, this, &frmKelvane::ckXMLFlag_Click);
    connect(cmdSelFile, &QPushButton::clicked, this, &frmKelvane::cmdSelFile_Click);
    connect(File1, &FileList::Click, this, &frmKelvane::File1_Click);
    connect(cmdExit, &QPushButton::clicked, this, &frmKelvane::cmdExit_Click);
    connect(DTPicker1, &DatePicker::Change, this, &frmKelvane::DTPicker1_Change);
    connect(cmdToday, &QPushButton::clicked, this, &frmKelvane::cmdToday_Click);
    connect(cmdPast7, &QPushButton::clicked, this, &frmKelvane::cmdPast7_Click);
    connect(cmdRange, &QPushButton::clicked, this, &frmKelvane::cmdRange_Click);
    connect(cmdAll, &QPushButton::clicked, this, &frmKelvane::cmdAll_Click);
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
    labDayPic[0]->setCaption(longForm(presentMoment().date()));
    labDayPic[1]->setCaption(longForm(presentMoment().date().addDays(-6)));
    labDayPic[2]->setCaption(longForm(D40));
    labDayPic[3]->setCaption(longForm(D15));

    writeSelfTest();

    for (int i = -kelvane::kMaxHourOffset; i <= kelvane::kMaxHourOffset; ++i)
        cbZOffset->addItem(QString::number(i));
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
    const int last = qMin(int(printedLines.size()) - 1, event->rect().bottom() / lineHeight);
    for (int i = first; i <= last; ++i)
        painter.drawText(0, i * lineHeight + metrics.ascent(), printedLines[i]);
}

void frmKelvane::cbZOffset_Click()
{
    zOffset = cbZOffset->currentText().toDouble();
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
