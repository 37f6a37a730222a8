#include "history_facts.h"

#include <kelvane/line_reader.h>

#include <QFileInfo>

#include <algorithm>
#include <vector>

namespace {

// A history line without its leading and trailing blanks.
std::string_view trimBlanks(std::string_view s)
{
    const auto first = s.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

} // namespace

HistoryFacts ScanHistory(const QString &path)
{
    HistoryFacts facts;
    kelvane::LineReader reader;
    if (!reader.open(path)) {
        facts.error = reader.errorString();
        return facts;
    }
    facts.bytes = QFileInfo(path).size();
    std::vector<QDate> days;
    bool inRun = false;
    bool awaitStart = false;
    qint64 runBytes = 0;
    std::string_view raw;
    while (reader.next(raw)) {
        const std::string_view line = trimBlanks(raw);
        if (line.starts_with("<Run>")) {
            inRun = awaitStart = true;
            runBytes = 0;
            ++facts.runs;
        }
        if (inRun)
            runBytes += qint64(raw.size()) + 2;
        if (awaitStart && line.starts_with("<StartTime>")) {
            awaitStart = false;
            const std::string_view date = line.substr(11, 10);
            days.push_back(
                QDate::fromString(QLatin1String(date.data(), qsizetype(date.size())), Qt::ISODate));
        }
        if (inRun && line.starts_with("</Run>")) {
            inRun = false;
            facts.largestRunBytes = std::max(facts.largestRunBytes, runBytes);
        }
    }
    facts.lines = reader.lineNumber();
    if (!reader.errorString().isEmpty())
        facts.error = reader.errorString();
    if (!days.empty())
        facts.middleDay = days[days.size() / 2];
    return facts;
}

HistoryFacts ScanTcx(const QString &path)
{
    HistoryFacts facts;
    kelvane::LineReader reader;
    if (!reader.open(path)) {
        facts.error = reader.errorString();
        return facts;
    }
    facts.bytes = QFileInfo(path).size();
    std::vector<QDate> days;
    bool inActivity = false;
    qint64 activityBytes = 0;
    std::string_view raw;
    while (reader.next(raw)) {
        const std::string_view line = trimBlanks(raw);
        if (line.starts_with("<Activity ")) {
            inActivity = true;
            activityBytes = 0;
            ++facts.runs;
        }
        if (inActivity)
            activityBytes += qint64(reader.lineWithEnd().size());
        if (line.starts_with("<Id>") && inActivity) {
            const std::string_view date = line.substr(4, 10);
            days.push_back(
                QDate::fromString(QLatin1String(date.data(), qsizetype(date.size())), Qt::ISODate));
        }
        if (inActivity && line.starts_with("</Activity>")) {
            inActivity = false;
            facts.largestRunBytes = std::max(facts.largestRunBytes, activityBytes);
        }
    }
    facts.lines = reader.lineNumber();
    if (!reader.errorString().isEmpty())
        facts.error = reader.errorString();
    if (!days.empty())
        facts.middleDay = days[days.size() / 2];
    return facts;
}
