// The four buttons that start the launch's one conversion.

#include "main_window.h"

#include "make_files.h"

#include <QCheckBox>
#include <QDir>

void frmKelvane::cmdToday_Click()
{
    QDate day;
    ReadDayLabel(0, day);
    convert(day, day);
}

void frmKelvane::cmdPast7_Click()
{
    QDate firstDay;
    ReadDayLabel(1, firstDay);
    convert(firstDay, presentMoment().date());
}

void frmKelvane::cmdRange_Click()
{
    QDate firstDay;
    QDate lastDay;
    ReadDayLabel(2, firstDay);
    ReadDayLabel(3, lastDay);
    convert(firstDay, lastDay);
}

void frmKelvane::cmdAll_Click()
{
    convert(QDate(1949, 8, 25), presentMoment().date());
}

kelvane::OutputOptions frmKelvane::outputOptions() const
{
    const auto on = [](const QCheckBox *box) { return box->checkState() == Qt::Checked; };
    kelvane::OutputOptions options;
    options.ckXMLFlag = on(ckXMLFlag);
    options.ckTXTFlag = on(ckTXTFlag);
    options.chkGPXFlag = on(chkGPXFlag);
    options.chkHighAscii = on(chkHighAscii);
    options.ZOffset = ZOffset();
    return options;
}

void frmKelvane::convert(QDate StartFilesDate, QDate EndFilesDate)
{
    const kelvane::DateWindow window{StartFilesDate, EndFilesDate};
    lastSummary = kelvane::MakeFiles(InputFile(), window, outputOptions(), *this,
                                     environment.workingFolder, presentMoment().date());
    if (!lastSummary.ok()) {
        environment.showMessage(windowTitle(), lastSummary.error);
        // Nothing was read or written: the user may pick another file and try
        // again, and that is still the launch's one conversion.
        if (lastSummary.runsRead == 0 && lastSummary.filesWritten == 0)
            return;
    } else if (lastSummary.runsSkipped > 0) {
        QStringList lines;
        lines << QStringLiteral("%1 of %2 runs in \"%3\" were not converted:")
                     .arg(lastSummary.runsSkipped)
                     .arg(lastSummary.runsRead)
                     .arg(QDir::toNativeSeparators(InputFile()));
        for (const auto &skipped : lastSummary.skipped.mid(0, 10))
            lines << QStringLiteral("line %1: %2").arg(skipped.line).arg(skipped.reason);
        environment.showMessage(windowTitle(), lines.join(QLatin1Char('\n')));
    }
    environment.endProgram();
}
