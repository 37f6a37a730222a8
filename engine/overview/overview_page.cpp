#include "overview/overview_page.h"

#include "save/day_file_output.h"
#include "time/instant.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QUrl>

#include <charconv>
#include <cmath>
#include <vector>

namespace kelvane {

// The page's files as built into the program (overview_files.cpp, made from
// engine/overview/ by embed_files.cmake).
extern const std::string_view kOverviewPage, kOverviewScript, kOverviewStyle;

namespace {

constexpr std::string_view kDataMark = "@KELVANE_DATA@";
// The line page.html holds in its head, by which an index.html is known as ours.
constexpr std::string_view kGeneratorMark = "<meta name=\"generator\" content=\"kelvane-split\">";
constexpr std::string_view kLeafletLines[] = {
    "<link rel=\"stylesheet\" href=\".kelvane/leaflet.css\">\n",
    "<script defer src=\".kelvane/leaflet.js\"></script>\n",
};

void appendNumber(std::string &out, const std::optional<double> &value, int decimals)
{
    if (!value || !std::isfinite(*value)) {
        out += "null";
        return;
    }
    char buffer[64];
    const double rounded = std::round(*value * std::pow(10, decimals)) / std::pow(10, decimals);
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, rounded + 0.0,
                                            std::chars_format::fixed, decimals);
    out.append(buffer, error == std::errc() ? end : buffer);
}

void appendKey(std::string &out, std::string_view key)
{
    out += '"';
    out += key;
    out += "\":";
}

// What this program wrote: a file of ours, or none at all.
bool isOurs(const QString &path)
{
    QFile file(path);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(2048);
    return head.contains(
        QByteArray::fromRawData(kGeneratorMark.data(), qsizetype(kGeneratorMark.size())));
}

// Adds the file to output unless the folder holds it already as it is.
bool addChanged(DayFileOutput &output, const QString &folder, const QString &name,
                std::string_view bytes)
{
    QFile old(QDir(folder).filePath(name));
    if (old.size() == qint64(bytes.size()) && old.open(QIODevice::ReadOnly) &&
        old.readAll() == QByteArray::fromRawData(bytes.data(), qsizetype(bytes.size())))
        return true;
    return output.add(name, {bytes});
}

bool readWhole(const QString &path, QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    bytes = file.readAll();
    return file.error() == QFileDevice::NoError;
}

std::string_view view(const QByteArray &bytes)
{
    return std::string_view(bytes.data(), std::size_t(bytes.size()));
}

} // namespace

QString mapTilesProblem(const QString &url)
{
    // Leaflet's fields ({z}, {s} ...) stand where a number or a word will.
    static const QRegularExpression field(QStringLiteral(R"(\{[a-z]+\})"));
    const QUrl parsed(QString(url).replace(field, QStringLiteral("0")), QUrl::StrictMode);
    if (!parsed.isValid() || (parsed.scheme() != u"http" && parsed.scheme() != u"https") ||
        parsed.host().isEmpty())
        return QStringLiteral("the map tile address \"%1\" is no http or https address").arg(url);
    for (const char *field : {"{z}", "{x}", "{y}"})
        if (!url.contains(QLatin1StringView(field)))
            return QStringLiteral("the map tile address \"%1\" holds no %2")
                .arg(url, QLatin1StringView(field));
    return {};
}

void appendJsonString(std::string &out, std::string_view text)
{
    static constexpr char hex[] = "0123456789abcdef";
    out += '"';
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || c == '<') {
            out += "\\u00";
            out += hex[byte >> 4];
            out += hex[byte & 15];
        } else {
            out += c;
        }
    }
    out += '"';
}

std::string overviewData(const RunCatalogue &catalogue, const LibraryTracks &tracks,
                         const QString &mapTiles, std::string_view made)
{
    std::string out;
    out.reserve(256 + catalogue.rows().size() * 900);
    out += "{\"format\":1,\"title\":\"Kelvane library\",\"made\":";
    appendJsonString(out, made);
    out += ",\"tiles\":";
    if (mapTiles.isEmpty()) {
        out += "null";
    } else {
        out += "{\"url\":";
        appendJsonString(out, mapTiles.toStdString());
        // Leaflet shows the attribution as HTML: the host alone, which holds
        // no markup.
        out += ",\"attribution\":";
        appendJsonString(out, "Map tiles: " + QUrl(mapTiles).host().toHtmlEscaped().toStdString());
        out += '}';
    }
    out += ",\"runs\":[";
    bool firstRun = true;
    for (const CatalogueRow &row : catalogue.rows()) {
        const RunFigures &figures = row.figures;
        out += firstRun ? "{" : ",{";
        firstRun = false;
        appendKey(out, "name");
        appendJsonString(out, row.baseName.toStdString());
        out += ",\"files\":[";
        for (qsizetype i = 0; i < row.dayFiles.size(); ++i) {
            if (i)
                out += ',';
            appendJsonString(out, QStringView(row.dayFiles[i]).mid(1).toString().toStdString());
        }
        out += "],\"start\":";
        std::string start;
        if (figures.start) {
            const auto local = qint64(std::floor(*figures.start)) + figures.utcOffset.value_or(0);
            appendDate(start, local);
            start += 'T';
            appendTimeOfDay(start, local);
        }
        appendJsonString(out, start);
        out += ",\"sport\":";
        appendJsonString(out, figures.sport ? sportName(*figures.sport).toString().toStdString()
                                            : std::string("other"));
        out += ",\"distance\":";
        appendNumber(out, figures.distance, 1);
        out += ",\"moving\":";
        appendNumber(out, figures.moving, 0);
        out += ",\"ascent\":";
        appendNumber(out, figures.ascent, 0);
        out += ",\"heart\":";
        appendNumber(out, figures.heartRateAverage, 0);
        const LibraryTracks::Entry *entry = tracks.find(row.baseName);
        out += ",\"note\":";
        appendJsonString(out, entry ? std::string_view(entry->note) : std::string_view());
        out += ",\"input\":";
        appendJsonString(out, row.input.toStdString());
        out += ",\"track\":";
        appendJsonString(out, entry ? std::string_view(entry->track) : std::string_view());
        out += '}';
    }
    out += "]}";
    return out;
}

bool writeOverview(const QString &folder, const QString &mapTiles, QString &error,
                   const QString &leafletFolder)
{
    const QString pagePath = QDir(folder).filePath(QStringLiteral("index.html"));
    if (!isOurs(pagePath)) {
        error = QStringLiteral("\"%1\" is not a page kelvane-split wrote: it is left as it is, "
                               "and the overview is not written")
                    .arg(pagePath);
        return false;
    }
    if (!mapTiles.isEmpty()) {
        if (const QString problem = mapTilesProblem(mapTiles); !problem.isEmpty()) {
            error = problem;
            return false;
        }
    }
    RunCatalogue catalogue;
    if (!catalogue.load(folder, error))
        return false;
    LibraryTracks tracks;
    QString ignored; // a damaged file of tracks costs the page its tracks alone
    tracks.load(folder, ignored);

    // Leaflet's files, read at once: a page with half of them would fail.
    const QDir leaflet(leafletFolder);
    QByteArray leafletScript, leafletStyle;
    std::vector<std::pair<QString, QByteArray>> images;
    bool withLeaflet = readWhole(leaflet.filePath(QStringLiteral("leaflet.js")), leafletScript) &&
                       readWhole(leaflet.filePath(QStringLiteral("leaflet.css")), leafletStyle);
    const QDir imageFolder(leaflet.filePath(QStringLiteral("images")));
    for (const QString &name : imageFolder.entryList({QStringLiteral("*.png")}, QDir::Files)) {
        QByteArray bytes;
        withLeaflet = withLeaflet && readWhole(imageFolder.filePath(name), bytes);
        images.emplace_back(name, std::move(bytes));
    }

    const QString assets = QDir(folder).filePath(QLatin1StringView(LibraryTracks::kFolderName));
    const QString assetImages = QDir(assets).filePath(QStringLiteral("images"));
    if (!QDir().mkpath(withLeaflet ? assetImages : assets)) {
        error = QStringLiteral("Cannot make the folder \"%1\"").arg(assets);
        return false;
    }
    DayFileOutput assetOutput(assets);
    bool added = addChanged(assetOutput, assets, QStringLiteral("overview.js"), kOverviewScript) &&
                 addChanged(assetOutput, assets, QStringLiteral("overview.css"), kOverviewStyle);
    if (withLeaflet)
        added =
            added &&
            addChanged(assetOutput, assets, QStringLiteral("leaflet.js"), view(leafletScript)) &&
            addChanged(assetOutput, assets, QStringLiteral("leaflet.css"), view(leafletStyle));
    if (!added || !assetOutput.commit()) {
        error = assetOutput.error();
        return false;
    }
    if (withLeaflet) {
        DayFileOutput imageOutput(assetImages);
        for (const auto &[name, bytes] : images)
            if (!addChanged(imageOutput, assetImages, name, view(bytes))) {
                error = imageOutput.error();
                return false;
            }
        if (!imageOutput.commit()) {
            error = imageOutput.error();
            return false;
        }
    }

    const std::string data =
        overviewData(catalogue, tracks, mapTiles,
                     QDateTime::currentDateTime().toString(u"yyyy-MM-ddTHH:mm:ss").toStdString());
    std::string page(kOverviewPage);
    if (!withLeaflet) {
        for (const std::string_view line : kLeafletLines)
            if (const std::size_t at = page.find(line); at != std::string::npos)
                page.erase(at, line.size());
    }
    const std::size_t mark = page.find(kDataMark);
    if (mark == std::string::npos) {
        error =
            QStringLiteral("The overview page built into this program has no place for its data");
        return false;
    }
    const std::string_view pieces[] = {std::string_view(page).substr(0, mark), data,
                                       std::string_view(page).substr(mark + kDataMark.size())};
    DayFileOutput pageOutput(folder);
    if (!pageOutput.add(QStringLiteral("index.html"), pieces) || !pageOutput.commit()) {
        error = pageOutput.error();
        return false;
    }
    return true;
}

} // namespace kelvane
