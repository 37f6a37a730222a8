#include "run_list_printer.h"

#include <QStringList>

#include <cmath>
#include <cstdio>

namespace {

constexpr qsizetype kNoteCharacters = 40;

void printLine(const QStringList &fields)
{
    std::fputs(fields.join(QLatin1Char('\t')).toLocal8Bit().constData(), stdout);
    std::fputc('\n', stdout);
}

} // namespace

QString durationText(double seconds)
{
    if (seconds < 0)
        return {};
    const qint64 whole = std::llround(seconds);
    return QStringLiteral("%1:%2:%3")
        .arg(whole / 3600)
        .arg(whole / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(whole % 60, 2, 10, QLatin1Char('0'));
}

QString kilometersText(double meters)
{
    return meters < 0 ? QString() : QString::number(meters / 1000, 'f', 3);
}

// Line breaks, tabs and runs of blanks become one blank, so the note stays one field.
QString noteStart(const QString &note)
{
    const QString line = note.simplified();
    if (line.size() <= kNoteCharacters)
        return line;
    return line.left(kNoteCharacters) + QStringLiteral("...");
}

RunListPrinter::RunListPrinter()
{
    printLine({QStringLiteral("day files"), QStringLiteral("start"), QStringLiteral("duration"),
               QStringLiteral("km"), QStringLiteral("points"), QStringLiteral("note")});
}

void RunListPrinter::runListed(const kelvane::ListedRun &run)
{
    printLine({run.baseName, run.startTime, durationText(run.seconds), kilometersText(run.meters),
               QString::number(run.points), noteStart(run.note)});
    ++runs;
    seconds += std::max(0.0, run.seconds);
    meters += std::max(0.0, run.meters);
    points += run.points;
}

QString RunListPrinter::totals() const
{
    return QStringLiteral("%1 %2, %3, %4 km, %5 points")
        .arg(runs)
        .arg(runs == 1 ? QStringLiteral("run") : QStringLiteral("runs"))
        .arg(durationText(seconds), kilometersText(meters))
        .arg(points);
}
