#include "library/runs_csv.h"

#include "library/run_fingerprint.h"
#include "run/sports.h"
#include "text/number_text.h"
#include "text/text.h"
#include "time/instant.h"
#include "xml/xml_text.h"

#include <QDate>
#include <QHash>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <deque>

namespace kelvane {

namespace {

// The figures written as numbers, with the decimals they keep: enough for
// what devices record (milliseconds, centimetres, millimetres per second).
constexpr FigureNumberColumn kNumberColumns[] = {
    {"elapsed_s", &RunFigures::elapsed, 3},
    {"moving_s", &RunFigures::moving, 3},
    {"distance_m", &RunFigures::distance, 2},
    {"ascent_m", &RunFigures::ascent, 2},
    {"descent_m", &RunFigures::descent, 2},
    {"lowest_m", &RunFigures::lowest, 2},
    {"highest_m", &RunFigures::highest, 2},
    {"average_speed_m_s", &RunFigures::averageSpeed, 3},
    {"maximum_speed_m_s", &RunFigures::maximumSpeed, 3},
    {"heart_rate_avg_bpm", &RunFigures::heartRateAverage, 2},
    {"heart_rate_max_bpm", &RunFigures::heartRateMaximum, 2},
    {"cadence_avg_rpm", &RunFigures::cadenceAverage, 2},
    {"power_avg_w", &RunFigures::powerAverage, 2},
    {"power_max_w", &RunFigures::powerMaximum, 2},
    {"calories_kcal", &RunFigures::calories, 2},
    {"temperature_avg_c", &RunFigures::temperatureAverage, 2},
};

constexpr std::string_view kHeader =
    "base_name,day_files,start,local_start,sport,sport_word,elapsed_s,moving_s,distance_m,"
    "ascent_m,descent_m,lowest_m,highest_m,average_speed_m_s,maximum_speed_m_s,"
    "heart_rate_avg_bpm,heart_rate_max_bpm,cadence_avg_rpm,power_avg_w,power_max_w,"
    "calories_kcal,temperature_avg_c,device,points,positioned_points,input,fingerprint";
// The columns before and after the numbers.
constexpr std::size_t kLeadingColumns = 6;
constexpr std::size_t kColumns = kLeadingColumns + std::size(kNumberColumns) + 5;

// The bytes that end an unquoted field, or may not stand in one.
constexpr bool endsField(char c)
{
    return c == ',' || c == '"' || c == '\r' || c == '\n';
}

void appendField(std::string &out, std::string_view text)
{
    if (std::none_of(text.begin(), text.end(), endsField)) {
        out += text;
        return;
    }
    out += '"';
    for (const char c : text) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

void appendField(std::string &out, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    appendField(out, std::string_view(bytes.data(), std::size_t(bytes.size())));
}

// "YYYY-MM-DDTHH:MM:SS", milliseconds if any.
void appendWallTime(std::string &out, qint64 milliseconds)
{
    const qint64 seconds = milliseconds >= 0 ? milliseconds / 1000 : -((999 - milliseconds) / 1000);
    appendDate(out, seconds);
    out += 'T';
    appendTimeOfDay(out, seconds);
    if (const qint64 fraction = milliseconds - seconds * 1000) {
        char digits[4] = {char('0' + fraction / 100), char('0' + fraction / 10 % 10),
                          char('0' + fraction % 10), 0};
        std::string_view text(digits, 3);
        while (text.back() == '0')
            text.remove_suffix(1);
        out += '.';
        out += text;
    }
}

qint64 wholeMinutes(int offset)
{
    return qint64(std::lround(offset / 60.0));
}

} // namespace

void appendFigureNumber(std::string &out, double value, int decimals)
{
    if (!std::isfinite(value))
        return;
    char digits[64];
    const auto [end, error] =
        std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, decimals);
    if (error != std::errc())
        return;
    std::string_view text(digits, std::size_t(end - digits));
    if (text.find('.') != std::string_view::npos) {
        while (text.back() == '0')
            text.remove_suffix(1);
        if (text.back() == '.')
            text.remove_suffix(1);
    }
    if (text == "-0")
        text = "0";
    out += text;
}

std::span<const FigureNumberColumn> figureNumberColumns()
{
    return kNumberColumns;
}

void appendRunsCsvRow(std::string &out, const CatalogueRow &row)
{
    const RunFigures &figures = row.figures;
    appendField(out, row.baseName);
    out += ',';
    appendField(out, row.dayFiles.join(QLatin1Char(' ')));
    out += ',';
    // Instants of the years 0001 to 9999, which ISO 8601 writes in four digits; others
    // are no run's.
    constexpr double kFirst = -62135596800, kEnd = 253402300800;
    constexpr qint64 kLongestOffset = 24 * 60; // minutes
    if (figures.start && *figures.start >= kFirst + 86400 && *figures.start < kEnd - 86400) {
        const qint64 milliseconds = std::llround(*figures.start * 1000);
        appendWallTime(out, milliseconds);
        out += 'Z';
        out += ',';
        if (figures.utcOffset && std::abs(wholeMinutes(*figures.utcOffset)) < kLongestOffset) {
            const qint64 minutes = wholeMinutes(*figures.utcOffset);
            appendWallTime(out, milliseconds + minutes * 60000);
            const qint64 size = minutes < 0 ? -minutes : minutes;
            const char zone[] = {minutes < 0 ? '-' : '+',    char('0' + size / 600 % 10),
                                 char('0' + size / 60 % 10), ':',
                                 char('0' + size % 60 / 10), char('0' + size % 10)};
            out.append(zone, sizeof zone);
        }
    } else {
        out += ',';
    }
    out += ',';
    if (figures.sport) {
        const QLatin1StringView name = sportName(*figures.sport);
        out.append(name.data(), std::size_t(name.size()));
    }
    out += ',';
    appendField(out, figures.sportWord);
    for (const FigureNumberColumn &column : kNumberColumns) {
        out += ',';
        if (const auto &value = figures.*column.figure)
            appendFigureNumber(out, *value, column.decimals);
    }
    out += ',';
    appendField(out, figures.device);
    out += ',';
    out += std::to_string(figures.points);
    out += ',';
    out += std::to_string(figures.positionedPoints);
    out += ',';
    appendField(out, row.input);
    out += ',';
    out.append(row.fingerprint.constData(), std::size_t(row.fingerprint.size()));
    out += kLineEnd;
}

namespace {

// Reads the fields of one record; unquotes into scratch where a field
// holds doubled quotes.
class RecordReader {
  public:
    explicit RecordReader(std::string_view text) : text(text) {}

    bool atEnd() const { return at == text.size(); }
    qint64 line() const { return lineNumber; }

    // The next record's fields; false with the reason when it is damaged.
    bool read(std::vector<std::string_view> &fields, QString &reason)
    {
        fields.clear();
        std::size_t used = 0;
        while (true) {
            if (at < text.size() && text[at] == '"') {
                if (used == scratch.size())
                    scratch.emplace_back();
                std::string &field = scratch[used++];
                field.clear();
                ++at;
                while (true) {
                    const std::size_t quote = text.find('"', at);
                    if (quote == std::string_view::npos) {
                        reason = QStringLiteral("a quoted field is not closed");
                        return false;
                    }
                    const std::string_view part = text.substr(at, quote - at);
                    lineNumber += qint64(std::count(part.begin(), part.end(), '\n'));
                    field += part;
                    at = quote + 1;
                    if (at < text.size() && text[at] == '"') {
                        field += '"';
                        ++at;
                        continue;
                    }
                    break;
                }
                fields.push_back(field);
            } else {
                std::size_t end = at;
                while (end < text.size() && !endsField(text[end]))
                    ++end;
                if (end < text.size() && text[end] == '"') {
                    reason = QStringLiteral("a quote inside a field that is not quoted");
                    return false;
                }
                fields.push_back(text.substr(at, end - at));
                at = end;
            }
            if (at == text.size())
                return true;
            const char c = text[at++];
            if (c == ',')
                continue;
            if (c == '\n' || (c == '\r' && at < text.size() && text[at++] == '\n')) {
                ++lineNumber;
                return true;
            }
            reason = c == '\r' ? QStringLiteral("a carriage return without a line feed")
                               : QStringLiteral("a character after the closing quote");
            return false;
        }
    }

  private:
    std::string_view text;
    std::size_t at = 0;
    qint64 lineNumber = 1;
    // Kept between records, so that its strings are reused; a deque, so that
    // the fields read stay where they are while more are added.
    std::deque<std::string> scratch;
};

bool isUtf8(std::string_view text)
{
    for (std::size_t at = 0; at < text.size();) {
        if (static_cast<unsigned char>(text[at]) < 0x80) {
            ++at;
            continue;
        }
        char32_t c;
        const std::size_t size = utf8Sequence(text, at, c);
        if (size == 0)
            return false;
        at += size;
    }
    return true;
}

QString quoted(std::string_view text)
{
    return QLatin1Char('"') + QString::fromUtf8(text.data(), qsizetype(text.size())) +
           QLatin1Char('"');
}

bool readDigits(std::string_view &text, std::size_t count, int &value)
{
    if (text.size() < count)
        return false;
    value = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (!isDigit(text[i]))
            return false;
        value = value * 10 + (text[i] - '0');
    }
    text.remove_prefix(count);
    return true;
}

bool readChar(std::string_view &text, char c)
{
    if (text.empty() || text.front() != c)
        return false;
    text.remove_prefix(1);
    return true;
}

// "YYYY-MM-DDTHH:MM:SS[.fff]" and a zone: "Z" when utc, else "+HH:MM" or
// "-HH:MM". Gives the wall time in milliseconds since the epoch and the
// zone's offset in minutes.
bool readTime(std::string_view text, bool utc, qint64 &wall, int &offsetMinutes)
{
    int year, month, day, hour, minute, second;
    if (!readDigits(text, 4, year) || !readChar(text, '-') || !readDigits(text, 2, month) ||
        !readChar(text, '-') || !readDigits(text, 2, day) || !readChar(text, 'T') ||
        !readDigits(text, 2, hour) || !readChar(text, ':') || !readDigits(text, 2, minute) ||
        !readChar(text, ':') || !readDigits(text, 2, second) || !QDate::isValid(year, month, day) ||
        hour > 23 || minute > 59 || second > 59)
        return false;
    int milliseconds = 0;
    if (readChar(text, '.')) {
        std::size_t digits = 0;
        while (digits < text.size() && isDigit(text[digits]))
            ++digits;
        int fraction;
        if (digits < 1 || digits > 3 || text[digits - 1] == '0' ||
            !readDigits(text, digits, fraction))
            return false;
        milliseconds = fraction * (digits == 1 ? 100 : digits == 2 ? 10 : 1);
    }
    wall = ((daysFromCivil(year, month, day) * 24 + hour) * 60 + minute) * 60000 + second * 1000 +
           milliseconds;
    offsetMinutes = 0;
    if (utc)
        return text == "Z";
    int hours, minutes;
    const bool east = readChar(text, '+');
    if (!east && !readChar(text, '-'))
        return false;
    if (!readDigits(text, 2, hours) || !readChar(text, ':') || !readDigits(text, 2, minutes) ||
        !text.empty() || minutes > 59 || (hours == 0 && minutes == 0 && !east))
        return false;
    offsetMinutes = (hours * 60 + minutes) * (east ? 1 : -1);
    return true;
}

// A figure as this file writes it, and only so: an optional minus, digits,
// and a fraction without trailing zeros.
bool readWrittenNumber(std::string_view text, double &value)
{
    std::string_view rest = text;
    readChar(rest, '-');
    const std::size_t point = rest.find('.');
    const std::string_view whole = rest.substr(0, point);
    if (whole.empty() || (whole.size() > 1 && whole.front() == '0'))
        return false;
    for (const char c : rest)
        if (!isDigit(c) && c != '.')
            return false;
    if (point != std::string_view::npos) {
        const std::string_view fraction = rest.substr(point + 1);
        if (fraction.empty() || fraction.back() == '0' ||
            fraction.find('.') != std::string_view::npos)
            return false;
    }
    return readNumber(text, value);
}

bool readCount(std::string_view text, qint64 &value)
{
    if (text.empty() || (text.size() > 1 && text.front() == '0'))
        return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && value >= 0;
}

bool isBaseName(std::string_view text)
{
    // YYYYMMDD_NN_Weekday: a real date, two digits or more, a weekday's name.
    int year, month, day, number;
    std::string_view rest = text;
    if (!readDigits(rest, 4, year) || !readDigits(rest, 2, month) || !readDigits(rest, 2, day) ||
        !QDate::isValid(year, month, day) || !readChar(rest, '_'))
        return false;
    std::size_t digits = 0;
    while (digits < rest.size() && isDigit(rest[digits]))
        ++digits;
    if (digits < 2 || digits > 9 || !readDigits(rest, digits, number) || !readChar(rest, '_') ||
        rest.empty())
        return false;
    return rest.find_first_of("/\\") == std::string_view::npos && rest.front() != '.';
}

bool isExtensionList(std::string_view text)
{
    while (!text.empty()) {
        if (!readChar(text, '.'))
            return false;
        std::size_t size = 0;
        while (size < text.size() &&
               ((text[size] >= 'a' && text[size] <= 'z') || isDigit(text[size])))
            ++size;
        if (size == 0)
            return false;
        text.remove_prefix(size);
        if (!text.empty() && (!readChar(text, ' ') || text.empty()))
            return false;
    }
    return true;
}

bool isFingerprint(std::string_view text)
{
    if (text.size() != kFingerprintDigits && text.size() != kEarlierFingerprintDigits)
        return false;
    for (const char c : text)
        if (!isDigit(c) && !(c >= 'a' && c <= 'f'))
            return false;
    return true;
}

QString text(std::string_view field)
{
    return QString::fromUtf8(field.data(), qsizetype(field.size()));
}

// The row of these fields, or the reason it is none.
bool readRow(const std::vector<std::string_view> &fields, CatalogueRow &row, QString &reason)
{
    if (fields.size() == 1 && fields[0].empty()) {
        reason = QStringLiteral("an empty line");
        return false;
    }
    if (fields.size() != kColumns) {
        reason =
            QStringLiteral("%1 fields where the header has %2").arg(fields.size()).arg(kColumns);
        return false;
    }
    for (const std::string_view field : fields) {
        if (!isUtf8(field)) {
            reason = QStringLiteral("bytes that are not UTF-8");
            return false;
        }
    }
    if (!isBaseName(fields[0])) {
        reason =
            QStringLiteral("the base name %1 is not YYYYMMDD_NN_Weekday").arg(quoted(fields[0]));
        return false;
    }
    row.baseName = text(fields[0]);
    if (!isExtensionList(fields[1])) {
        reason = QStringLiteral("the day files %1 are not extensions such as \".xml .gpx\"")
                     .arg(quoted(fields[1]));
        return false;
    }
    row.dayFiles = text(fields[1]).split(QLatin1Char(' '), Qt::SkipEmptyParts);

    RunFigures &figures = row.figures;
    figures = {};
    if (!fields[2].empty() || !fields[3].empty()) {
        qint64 start, local;
        int offset;
        if (!readTime(fields[2], true, start, offset)) {
            reason = QStringLiteral("the start %1 is not an instant such as 2020-09-23T07:12:00Z")
                         .arg(quoted(fields[2]));
            return false;
        }
        figures.start = double(start) / 1000;
        if (!fields[3].empty()) {
            if (!readTime(fields[3], false, local, offset) || local - start != offset * 60000LL) {
                reason = QStringLiteral("the local start %1 is not the start in a zone, such "
                                        "as 2020-09-23T10:12:00+03:00")
                             .arg(quoted(fields[3]));
                return false;
            }
            figures.utcOffset = offset * 60;
        }
    }
    if (!fields[4].empty()) {
        figures.sport = sportNamed(fields[4]);
        if (!figures.sport ||
            sportName(*figures.sport) !=
                QLatin1StringView(fields[4].data(), qsizetype(fields[4].size()))) {
            reason = QStringLiteral("the sport %1 is none of ours").arg(quoted(fields[4]));
            return false;
        }
    }
    figures.sportWord = text(fields[5]);
    std::size_t at = kLeadingColumns;
    for (const FigureNumberColumn &column : kNumberColumns) {
        const std::string_view field = fields[at++];
        if (field.empty())
            continue;
        double value;
        if (!readWrittenNumber(field, value)) {
            reason = QStringLiteral("%1 %2 is not a number such as 1234.5")
                         .arg(QLatin1StringView(column.name.data(), qsizetype(column.name.size())),
                              quoted(field));
            return false;
        }
        figures.*column.figure = value;
    }
    figures.device = text(fields[at++]);
    for (qint64 *count : {&figures.points, &figures.positionedPoints}) {
        const std::string_view field = fields[at++];
        if (!readCount(field, *count)) {
            reason = QStringLiteral("%1 %2 is not a count")
                         .arg(count == &figures.points ? QStringLiteral("points")
                                                       : QStringLiteral("positioned_points"),
                              quoted(field));
            return false;
        }
    }
    row.input = text(fields[at++]);
    if (!isFingerprint(fields[at])) {
        reason = QStringLiteral("the fingerprint %1 is not %2 hexadecimal digits")
                     .arg(quoted(fields[at]))
                     .arg(kFingerprintDigits);
        return false;
    }
    row.fingerprint = QByteArray(fields[at].data(), qsizetype(fields[at].size()));
    return true;
}

} // namespace

std::string_view runsCsvHeader()
{
    return kHeader;
}

std::string runsCsvText(std::span<const CatalogueRow> rows)
{
    std::string out;
    out.reserve(kHeader.size() + 2 + rows.size() * 320);
    out += kHeader;
    out += kLineEnd;
    for (const CatalogueRow &row : rows)
        appendRunsCsvRow(out, row);
    return out;
}

bool readRunsCsv(std::string_view text, std::vector<CatalogueRow> &rows, RunsCsvRefusal &refusal)
{
    rows.clear();
    static_assert(std::size(kNumberColumns) + 11 == kColumns);
    const std::size_t headerEnd = text.find('\n');
    std::string_view header = text.substr(0, headerEnd);
    if (header.ends_with('\r'))
        header.remove_suffix(1);
    if (header != kHeader) {
        refusal = {1, QStringLiteral("its first line is not the header of a library's runs.csv")};
        return false;
    }
    rows.reserve(std::size_t(std::count(text.begin(), text.end(), '\n')));
    RecordReader reader(text);
    std::vector<std::string_view> fields;
    fields.reserve(kColumns);
    QString reason;
    reader.read(fields, reason);  // the header
    QHash<QString, qint64> lines; // of each base name
    lines.reserve(qsizetype(rows.capacity()));
    while (!reader.atEnd()) {
        const qint64 line = reader.line();
        CatalogueRow row;
        if (!reader.read(fields, reason) || !readRow(fields, row, reason)) {
            refusal = {line, reason};
            return false;
        }
        if (const auto first = lines.constFind(row.baseName); first != lines.cend()) {
            refusal = {line, QStringLiteral("the base name %1 is also on line %2")
                                 .arg(row.baseName)
                                 .arg(*first)};
            return false;
        }
        lines.insert(row.baseName, line);
        rows.push_back(std::move(row));
    }
    return true;
}

} // namespace kelvane
