// The four buttons that start the launch's one conversion.

#include "main_window.h"

#include <kelvane/conversion.h>

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
    convert(kelvane::earliestDay(), presentMoment().date());
}

// The one place where the window's controls become the engine's options.
kelvane::ConversionOptions frmKelvane::conversionOptions() const
{
    const auto on = [](const QCheckBox *box) { return box->checkState() == Qt::Checked; };
    kelvane::ConversionOptions options;
    options.dayFiles.setFlag(kelvane::DayFileKind::OwnFormat, on(ckXMLFlag));
    options.dayFiles.setFlag(kelvane::DayFileKind::Csv, on(ckTXTFlag));
    options.dayFiles.setFlag(kelvane::DayFileKind::Gpx, on(chkGPXFlag));
    options.escapeHighCharacters = on(chkHighAscii);
    options.hourOffset = ZOffset();
    return options;
}

void frmKelvane::convert(QDate StartFilesDate, QDate EndFilesDate)
{
    kelvane::ConversionRequest request;
    request.inputFile = InputFile();
    request.outputFolder = environment.workingFolder;
    request.window = {StartFilesDate, EndFilesDate};
    request.options = conversionOptions();
    request.today = presentMoment().date();
    lastSummary = kelvane::makeDayFiles(request, *this);
    // Nothing read and nothing written (a missing file, a file without runs):
    // say why, and the user may pick another file and try again; that is
    // still the launch's one conversion.
    if (lastSummary.runsRead == 0 && lastSummary.filesWritten == 0) {
        environment.showMessage(windowTitle(), !lastSummary.ok() ? lastSummary.error
                                               : !lastSummary.noRunHint.isEmpty()
                                                   ? lastSummary.noRunHint
                                                   : inputReports().join(QLatin1Char('\n')));
        return;
    }
    if (!lastSummary.ok()) {
        environment.showMessage(windowTitle(), lastSummary.error);
    } else if (lastSummary.runsSkipped > 0 || lastSummary.inputsFailed > 0) {
        QStringList lines = inputReports(true);
        if (lastSummary.runsSkipped > 0)
            lines << QStringLiteral("%1 of %2 runs in \"%3\" were not converted:")
                         .arg(lastSummary.runsSkipped)
                         .arg(lastSummary.runsRead)
                         .arg(QDir::toNativeSeparators(InputFile()));
        for (const auto &skipped : lastSummary.skipped.mid(0, 10))
            lines << (skipped.input == InputFile() ? QString()
                                                   : skipped.input + QStringLiteral(": ")) +
                         (skipped.inBinaryInput()
                              ? QStringLiteral("byte %1: %2").arg(skipped.byteOffset)
                              : QStringLiteral("line %1: %2").arg(skipped.line))
                             .arg(skipped.reason);
        environment.showMessage(windowTitle(), lines.join(QLatin1Char('\n')));
    }
    environment.endProgram();
}

// What was said of the files inside the chosen archive (the first ten), or of
// those that failed alone.
QStringList frmKelvane::inputReports(bool failedOnly) const
{
    QStringList lines;
    for (const kelvane::InputReport &report : lastSummary.inputReports)
        if ((report.failed || !failedOnly) && lines.size() < 10)
            lines << report.text;
    if (lines.isEmpty() && !failedOnly)
        lines
            << QStringLiteral("No run found in \"%1\"").arg(QDir::toNativeSeparators(InputFile()));
    return lines;
}
