#include "run_list_printer.h"

#include <kelvane/message_text.h>

#include <QStringList>

#include <cmath>
#include <cstdio>

namespace {

using kelvane::counted;

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

// Line breaks, tabs and runs of blanks become one blank, so the note stays one
// field; it is cut between two characters, never inside one.
QString noteStart(const QString &note)
{
    const QString line = note.simplified();
    if (line.size() <= kNoteCharacters)
        return line;
    const qsizetype cut =
        line.at(kNoteCharacters - 1).isHighSurrogate() ? kNoteCharacters - 1 : kNoteCharacters;
    return line.left(cut) + QStringLiteral("...");
}

// The fields added later stand after the note, so that those before keep their places.
RunListPrinter::RunListPrinter()
{
    printLine(QStringList{QStringLiteral("day files"), QStringLiteral("start"),
                          QStringLiteral("duration"), QStringLiteral("km"),
                          QStringLiteral("points"), QStringLiteral("note"),
                          QStringLiteral("positioned"), QStringLiteral("UTC start"),
                          QStringLiteral("sport"), QStringLiteral("input")} +
              kelvane::listedFigureNames());
}

void RunListPrinter::runListed(const kelvane::ListedRun &run)
{
    // The texts of an input reach the terminal as a message's do: escaped.
    using kelvane::escapeControlCharacters;
    QStringList figures = run.figures;
    for (QString &figure : figures)
        figure = escapeControlCharacters(figure);
    printLine(QStringList{run.baseName, escapeControlCharacters(run.startTime),
                          durationText(run.seconds), kilometersText(run.meters),
                          QString::number(run.points), escapeControlCharacters(noteStart(run.note)),
                          QString::number(run.positioned), escapeControlCharacters(run.utcStart),
                          escapeControlCharacters(run.sport.simplified()),
                          escapeControlCharacters(run.input)} +
              figures);
    ++runs;
    seconds += std::max(0.0, run.seconds);
    meters += std::max(0.0, run.meters);
    points += run.points;
    positioned += run.positioned;
}

QString RunListPrinter::totals() const
{
    return QStringLiteral("%1, %2, %3 km, %4, %5 with a position")
        .arg(counted(runs, "run", "runs"), durationText(seconds), kilometersText(meters),
             counted(points, "point", "points"))
        .arg(positioned);
}
