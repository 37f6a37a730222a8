#include "library/run_catalogue.h"

#include "library/run_fingerprint.h"
#include "library/runs_csv.h"
#include "save/day_file_output.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace kelvane {

bool RunCatalogue::load(const QString &folder, QString &error)
{
    const QString path = QDir(folder).filePath(QLatin1StringView(kRunsCsvName));
    QFile file(path);
    if (!file.exists()) {
        list.clear();
        index();
        return true;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("Cannot read \"%1\": %2").arg(path, file.errorString());
        return false;
    }
    // Another program's file, however large, is refused by its first line.
    const std::string_view header = runsCsvHeader();
    if (const QByteArray head = file.peek(qsizetype(header.size()));
        std::string_view(head.data(), std::size_t(head.size())) != header)
        return read(std::string_view(head.data(), std::size_t(head.size())), path, error);
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        error = QStringLiteral("Cannot read \"%1\": %2").arg(path, file.errorString());
        return false;
    }
    return read(std::string_view(bytes.data(), std::size_t(bytes.size())), path, error);
}

bool RunCatalogue::read(std::string_view text, const QString &fileName, QString &error)
{
    RunsCsvRefusal refusal;
    std::vector<CatalogueRow> rows;
    if (!readRunsCsv(text, rows, refusal)) {
        error = QStringLiteral("\"%1\" is not a library's runs.csv as kelvane-split writes it, "
                               "line %2: %3")
                    .arg(fileName)
                    .arg(refusal.line)
                    .arg(refusal.reason);
        return false;
    }
    list = std::move(rows);
    index();
    return true;
}

void RunCatalogue::index()
{
    byFingerprint.clear();
    byBaseName.clear();
    byStart.clear();
    earlierFingerprints = std::any_of(list.begin(), list.end(), [](const CatalogueRow &row) {
        return std::size_t(row.fingerprint.size()) == kEarlierFingerprintDigits;
    });
    byFingerprint.reserve(qsizetype(list.size()));
    byBaseName.reserve(qsizetype(list.size()));
    for (std::size_t i = 0; i < list.size(); ++i) {
        const CatalogueRow &row = list[i];
        if (!row.fingerprint.isEmpty())
            byFingerprint.insert(row.fingerprint, i);
        byBaseName.insert(row.baseName, i);
        if (row.figures.start)
            byStart.emplace(*row.figures.start, i);
    }
}

RunCatalogue::Match RunCatalogue::match(const QByteArray &fingerprint, const RunFigures &figures,
                                        const QByteArray &earlier) const
{
    for (const QByteArray &print : {fingerprint, earlier})
        if (const auto same = byFingerprint.constFind(print);
            !print.isEmpty() && same != byFingerprint.cend())
            return {Match::Kind::SameRun, &list[*same]};
    if (!figures.start || !figures.elapsed)
        return {};
    const double start = *figures.start;
    const double elapsed = *figures.elapsed;
    const CatalogueRow *nearest = nullptr;
    double nearestGap = 0;
    for (auto it = byStart.lower_bound(start - kSameStart);
         it != byStart.end() && it->first <= start + kSameStart; ++it) {
        const CatalogueRow &row = list[it->second];
        if (!row.figures.elapsed)
            continue;
        const double other = *row.figures.elapsed;
        if (std::abs(other - elapsed) > kSameElapsed * std::max(other, elapsed))
            continue;
        const double gap = std::abs(it->first - start);
        if (!nearest || gap < nearestGap) {
            nearest = &row;
            nearestGap = gap;
        }
    }
    if (!nearest)
        return {};
    return {Match::Kind::SameActivity, nearest};
}

bool RunCatalogue::startsNear(double start, bool &pending) const
{
    pending = false;
    bool near = false;
    for (auto it = byStart.lower_bound(start - kSameStart);
         it != byStart.end() && it->first <= start + kSameStart; ++it) {
        near = true;
        pending = pending || list[it->second].fingerprint.isEmpty();
    }
    return near;
}

void RunCatalogue::put(CatalogueRow row)
{
    std::size_t i = list.size();
    if (const auto same = byBaseName.constFind(row.baseName); same != byBaseName.cend()) {
        i = *same;
        const CatalogueRow &old = list[i];
        if (byFingerprint.value(old.fingerprint, i + 1) == i)
            byFingerprint.remove(old.fingerprint);
        if (old.figures.start) {
            const auto [first, last] = byStart.equal_range(*old.figures.start);
            for (auto it = first; it != last; ++it) {
                if (it->second == i) {
                    byStart.erase(it);
                    break;
                }
            }
        }
        list[i] = std::move(row);
    } else {
        list.push_back(std::move(row));
    }
    const CatalogueRow &added = list[i];
    if (!added.fingerprint.isEmpty())
        byFingerprint.insert(added.fingerprint, i);
    byBaseName.insert(added.baseName, i);
    if (added.figures.start)
        byStart.emplace(*added.figures.start, i);
}

void RunCatalogue::keepRowsWithDayFiles(const QSet<QString> &fileNames)
{
    for (CatalogueRow &row : list)
        row.dayFiles.removeIf([&](const QString &extension) {
            return !fileNames.contains(row.baseName + extension);
        });
    std::erase_if(list, [](const CatalogueRow &row) { return row.dayFiles.isEmpty(); });
    index();
}

std::string RunCatalogue::text() const
{
    std::vector<std::size_t> order(list.size());
    std::iota(order.begin(), order.end(), std::size_t(0));
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        const std::optional<double> &first = list[a].figures.start;
        const std::optional<double> &second = list[b].figures.start;
        return first && (!second || *first < *second);
    });
    std::string out(runsCsvHeader());
    out.reserve(out.size() + list.size() * 320);
    out += "\r\n";
    for (const std::size_t i : order)
        appendRunsCsvRow(out, list[i]);
    return out;
}

bool RunCatalogue::save(const QString &folder, QString &error) const
{
    const std::string bytes = text();
    DayFileOutput output(folder);
    if (!output.add(QLatin1StringView(kRunsCsvName), {std::string_view(bytes)}) ||
        !output.commit()) {
        error = output.error();
        return false;
    }
    return true;
}

} // namespace kelvane
