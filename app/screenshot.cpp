// Renders the window after start-up, then with the offset controls and the date
// picker open (its calendar drawn where it pops up), then with the file list open
// too, on a fixed day in a scratch folder, and optionally the window as a
// screen of 1280 x 1024 pixels shows it (in a scrolling frame where it does not
// fit). It draws offscreen on such a screen; QT_SCALE_FACTOR scales it.

#include "main_window.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QWidget>

#include <cstdio>

namespace {

QWidget *Find(QWidget &window, const char *name)
{
    return window.findChild<QWidget *>(QString::fromLatin1(name));
}

void Press(QWidget *widget, QPoint at)
{
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), widget->mapToGlobal(QPointF(at)),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    QApplication::processEvents();
}

} // namespace

// Makes Qt draw offscreen on one screen of 1280 x 1024 pixels.
bool UseOffscreenScreen(const QTemporaryDir &folder)
{
    QFile config(folder.filePath(QStringLiteral("screen.json")));
    if (!config.open(QIODevice::WriteOnly))
        return false;
    config.write(R"({"screens": [{"name": "screen", "x": 0, "y": 0, "width": 1280,
                     "height": 1024, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
    return qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.fileName().toLocal8Bit());
}

int main(int argc, char *argv[])
{
    QTemporaryDir folder;
    if (!folder.isValid() || !UseOffscreenScreen(folder))
        return 1;
    QApplication app(argc, argv);
    if (argc != 4 && argc != 5) {
        std::fprintf(stderr,
                     "usage: kelvane-screenshot START_PNG PICKER_PNG LIST_PNG [SCREEN_PNG]\n");
        return 2;
    }
    for (const char *name : {"walk.xml", "march.xml", "notes.xml"}) {
        QFile file(folder.filePath(QString::fromLatin1(name)));
        if (!file.open(QIODevice::WriteOnly))
            return 1;
    }

    WindowEnvironment environment;
    environment.presentMoment = [] { return QDateTime(QDate(2026, 12, 7), QTime(10, 30)); };
    environment.workingFolder = folder.path();
    environment.endProgram = [] {};
    environment.showMessage = [](const QString &, const QString &text) {
        std::fprintf(stderr, "%s\n", qPrintable(text));
    };

    frmKelvane window(environment);
    window.Load();
    for (const char *name : {"20261207_01_Monday.xml", "20261207_02_Monday.xml"}) {
        window.showFileName(QString::fromLatin1(name));
        window.fileSaved(QString::fromLatin1(name));
    }
    QApplication::processEvents();
    if (!window.grab().save(QString::fromLocal8Bit(argv[1])))
        return 1;
    if (argc == 5 && !window.window()->grab().save(QString::fromLocal8Bit(argv[4])))
        return 1;

    qobject_cast<QCheckBox *>(Find(window, "ckTXTFlag"))->click();
    // A click on the range's last day opens the picker on that day, and a click
    // on the picker's arrow opens its calendar, a window of its own.
    Press(Find(window, "labDayPic3"), QPoint(2, 2));
    auto *picker = qobject_cast<QDateEdit *>(Find(window, "DTPicker1"));
    Press(picker, QPoint(picker->width() - 8, picker->height() / 2));
    QPixmap shot = window.grab();
    if (QWidget *calendar = picker->calendarWidget()->window(); calendar->isVisible()) {
        QPainter painter(&shot);
        painter.drawPixmap(window.mapFromGlobal(calendar->pos()), calendar->grab());
        painter.end();
        calendar->hide();
    }
    if (!shot.save(QString::fromLocal8Bit(argv[2])))
        return 1;
    qobject_cast<QPushButton *>(Find(window, "cmdSelFile"))->click();
    QApplication::processEvents();
    if (!window.grab().save(QString::fromLocal8Bit(argv[3])))
        return 1;
    for (int i = 1; i < argc; ++i)
        std::printf("%s\n", argv[i]);
    return 0;
}
