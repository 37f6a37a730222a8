#include "history_facts.h"

#include "input/file_source.h"
#include "input/line_reader.h"

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

// The runs of a file as the benchmark writes them, one tag a line: a run from
// the line beginning `open` through the one beginning `close`, its day in the
// first line of it that begins with `start`.
HistoryFacts ScanRuns(const QString &path, std::string_view open, std::string_view start,
                      std::string_view close)
{
    HistoryFacts facts;
    kelvane::FileSource file(path);
    if (!file.open()) {
        facts.error = file.errorString();
        return facts;
    }
    kelvane::LineReader reader{kelvane::InputBuffer(file)};
    facts.bytes = QFileInfo(path).size();
    std::vector<QDate> days;
    bool inRun = false;
    bool awaitStart = false;
    qint64 runBytes = 0;
    std::string_view raw;
    while (reader.next(raw)) {
        const std::string_view line = trimBlanks(raw);
        if (line.starts_with(open)) {
            inRun = awaitStart = true;
            runBytes = 0;
            ++facts.runs;
        }
        if (inRun)
            runBytes += qint64(reader.lineWithEnd().size());
        if (awaitStart && line.starts_with(start)) {
            awaitStart = false;
            const std::string_view date = line.substr(start.size(), 10);
            days.push_back(
                QDate::fromString(QLatin1String(date.data(), qsizetype(date.size())), Qt::ISODate));
        }
        if (inRun && line.starts_with(close)) {
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

} // namespace

HistoryFacts ScanHistory(const QString &path)
{
    return ScanRuns(path, "<Run>", "<StartTime>", "</Run>");
}

HistoryFacts ScanTcx(const QString &path)
{
    return ScanRuns(path, "<Activity ", "<Id>", "</Activity>");
}
