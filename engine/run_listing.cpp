#include "run_listing.h"

#include "library/runs_csv.h"
#include "run/figures_of_run.h"
#include "text/number_text.h"
#include "time/instant.h"
#include "time/zone_offsets.h"
#include "xml/xml_tokenizer.h"

namespace kelvane {

namespace {

// Adds up one figure of every lap that has it; -1 when none has.
double lapTotal(std::span<const Lap> laps, std::string_view Lap::*figure)
{
    double total = 0;
    bool any = false;
    for (const Lap &lap : laps) {
        double value = 0;
        if (readNumber(lap.*figure, value)) {
            total += value;
            any = true;
        }
    }
    return any ? total : -1;
}

QStringList figureTexts(const RunFigures &figures)
{
    QStringList texts;
    std::string text;
    for (const FigureNumberColumn &column : figureNumberColumns()) {
        text.clear();
        if (const auto &value = figures.*column.figure)
            appendFigureNumber(text, *value, column.decimals);
        texts << QString::fromLatin1(text.data(), qsizetype(text.size()));
    }
    return texts;
}

} // namespace

QStringList listedFigureNames()
{
    QStringList names;
    for (const FigureNumberColumn &column : figureNumberColumns())
        names << QString::fromLatin1(column.name.data(), qsizetype(column.name.size()));
    // The input's own word for the sport is the sport column before.
    return names << QStringLiteral("sport_name") << QStringLiteral("device");
}

RunListing::RunListing(RunListSink &list, const QTimeZone &zone, ConversionSummary &summary)
    : list(list), summary(summary)
{
    if (zone.isValid())
        this->zone.emplace(zone);
}

bool RunListing::take(Run &run, const QString &input, bool &numberUsed)
{
    numberUsed = true;
    ++summary.runsConverted;
    ListedRun listed = listedRun(run, zone ? &*zone : nullptr);
    listed.input = input;
    list.runListed(listed);
    return true;
}

QString characterData(std::string_view text)
{
    std::string plain;
    XmlTokenizer::textContent(text, plain);
    return QString::fromUtf8(plain.data(), qsizetype(plain.size()));
}

std::optional<Sport> sportOfRun(const Run &run)
{
    if (run.summary.sport || run.sport.empty())
        return run.summary.sport;
    const QByteArray word = characterData(run.sport).toUtf8();
    return sportOfWord(std::string_view(word.data(), std::size_t(word.size())));
}

ListedRun listedRun(const Run &run, ZoneOffsets *zone)
{
    ListedRun listed;
    listed.baseName = run.baseName;
    const auto start = zone ? readInstant(run.startTime) : std::nullopt;
    if (start) {
        zone->fix(run.localOffset);
        std::string local;
        appendLocal(local, *start, zone->offsetAt(start->seconds));
        listed.startTime = QString::fromLatin1(local.data(), qsizetype(local.size()));
    } else {
        listed.startTime = QString::fromUtf8(run.startTime.data(), qsizetype(run.startTime.size()));
    }
    listed.seconds = lapTotal(run.laps, &Lap::seconds);
    listed.meters = lapTotal(run.laps, &Lap::meters);
    if (listed.meters < 0 && run.points && run.points->size() > 0)
        listed.meters = trackMeters(*run.points);
    if (const auto start = readInstant(run.startTime)) {
        std::string utc;
        appendUtc(utc, *start);
        listed.utcStart = QString::fromLatin1(utc.data(), qsizetype(utc.size()));
    }
    listed.sport = characterData(run.sport);
    const RunFigures figures = runFigures(run, nullptr);
    if (run.points) {
        listed.points = int(figures.points);
        listed.positioned = int(figures.positionedPoints);
    }
    listed.figures = figureTexts(figures);
    // What the run is filed under, and the device.
    listed.figures << (figures.sport ? QString(sportName(*figures.sport)) : QString())
                   << figures.device;
    listed.note = characterData(run.notes);
    return listed;
}

} // namespace kelvane
