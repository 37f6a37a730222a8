#include "conversion_check.h"

#include "day_file_kinds.h"
#include "input/input_list.h"
#include "input/memory_source.h"
#include "read/format_recognition.h"

#include <kelvane/conversion.h>
#include <kelvane/progress_sink.h>
#include <kelvane/run_list.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QMap>
#include <QRegularExpression>
#include <QStringList>
#include <QXmlStreamReader>

#include <algorithm>
#include <optional>
#include <string_view>
#include <vector>

namespace kelvane {

namespace {

struct CaseRequest {
    ConversionOptions options;
    DateWindow window;
    bool validWindow = true;
    bool convertTwice = false; // a second conversion into the same folder must give the same files
    bool gpx11AndTcx = false;  // also GPX 1.1 and TCX day files and the list of runs
};

// Byte 0: switches (XML, CSV, GPX, high ASCII, convert twice, GPX 1.1 and TCX, GPX runs
// converted); byte 1: the hour offset; byte 2: the kind of window; bytes 3 and 4: its days.
CaseRequest ReadHeader(const unsigned char *h)
{
    CaseRequest r;
    r.options.dayFiles = {};
    r.options.dayFiles.setFlag(DayFileKind::OwnFormat, h[0] & 1);
    r.options.dayFiles.setFlag(DayFileKind::Csv, h[0] & 2);
    r.options.dayFiles.setFlag(DayFileKind::Gpx, h[0] & 4);
    r.options.escapeHighCharacters = h[0] & 8;
    r.convertTwice = h[0] & 16;
    r.gpx11AndTcx = h[0] & 32;
    r.options.convertGpxRuns = h[0] & 64;
    r.options.hourOffset = int(h[1] % (2 * kMaxHourOffset + 1)) - kMaxHourOffset;
    const QDate base(2026, 11, 1);
    const QDate first = base.addDays(static_cast<signed char>(h[3]));
    switch (h[2] % 4) {
    case 0:
        r.window = {earliestDay(), CaseToday()};
        break;
    case 1:
        r.window = {first, first.addDays(static_cast<signed char>(h[4]))};
        break;
    case 2:
        r.window = {first, first};
        break;
    default:
        r.window = (h[3] & 1) ? DateWindow{QDate(), first} : DateWindow{first, QDate()};
        r.validWindow = false;
        break;
    }
    return r;
}

// Records every report and checks that the progress stays inside its range.
class RecordingProgress final : public ProgressSink {
  public:
    void beginDays(int minDay, int maxDay) override
    {
        if (begun)
            fault(QStringLiteral("BeginDays reported twice"));
        if (minDay > maxDay)
            fault(QStringLiteral("BeginDays(%1, %2): empty range").arg(minDay).arg(maxDay));
        begun = true;
        min = minDay;
        max = maxDay;
    }
    void setDay(int day) override
    {
        if (!begun)
            fault(QStringLiteral("SetDay before BeginDays"));
        else if (day < min || day > max)
            fault(QStringLiteral("SetDay(%1) outside %2..%3").arg(day).arg(min).arg(max));
    }
    void showFileName(const QString &name) override { shown << name; }
    void fileSaved(const QString &name) override { written << name; }
    void bytesRead(qint64 done, qint64 total) override
    {
        if (done < bytesDone || done > total)
            fault(QStringLiteral("BytesRead(%1, %2) after %3").arg(done).arg(total).arg(bytesDone));
        bytesDone = done;
    }

    bool begun = false;
    int min = 0, max = 0;
    qint64 bytesDone = 0;
    QStringList shown, written;
    QString problem;

  private:
    void fault(const QString &what)
    {
        if (problem.isEmpty())
            problem = what;
    }
};

// Splits a day file into lines, each required to end with CR LF. Values taken
// from the input never hold a line feed, so every LF must be a line end.
bool SplitLines(const QByteArray &bytes, std::vector<std::string_view> &lines)
{
    lines.clear();
    if (bytes.isEmpty() || !bytes.endsWith("\r\n"))
        return false;
    const std::string_view all(bytes.constData(), std::size_t(bytes.size()));
    std::size_t from = 0;
    while (from < all.size()) {
        const auto lf = all.find('\n', from);
        if (lf == 0 || all[lf - 1] != '\r')
            return false;
        lines.push_back(all.substr(from, lf - 1 - from));
        from = lf + 1;
    }
    return true;
}

// A history line without its leading and trailing blanks (tabs stay).
std::string_view trimBlanks(std::string_view s)
{
    const auto first = s.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

// Returns the number of track points, or -1 with `why` set. A point is a
// trkpt line, an ele line and a time line (either left out for a point that
// has no altitude or no time), and a /trkpt line.
int CheckGpx(const QByteArray &bytes, QString &why)
{
    std::vector<std::string_view> l;
    if (!SplitLines(bytes, l)) {
        why = QStringLiteral("a line does not end with CR LF");
        return -1;
    }
    const std::size_t count = l.size();
    if (count < 7) {
        why = QStringLiteral("%1 lines, fewer than 7").arg(count);
        return -1;
    }
    const bool frame =
        l[0] == R"(<?xml version="1.0"?>)" && l[1].starts_with(R"(<gpx version="1.0" creator=")") &&
        l[1].ends_with("\">") && l[2] == "<trk>" && l[3] == "<trkseg>" &&
        l[count - 3] == "</trkseg>" && l[count - 2] == "</trk>" && l[count - 1] == "</gpx>";
    if (!frame) {
        why = QStringLiteral("the fixed lines around the track points are wrong");
        return -1;
    }
    int points = 0;
    for (std::size_t i = 4; i < count - 3; ++points) {
        const bool open = l[i].starts_with("<trkpt lat=\"") && l[i].ends_with("\">");
        ++i;
        if (i < count - 3 && l[i].starts_with("<ele>") && l[i].ends_with("</ele>"))
            ++i;
        if (i < count - 3 && l[i].starts_with("<time>") && l[i].ends_with("Z</time>"))
            ++i;
        if (!open || i >= count - 3 || l[i] != "</trkpt>") {
            why = QStringLiteral("track point %1 is not trkpt, ele, time, /trkpt").arg(points + 1);
            return -1;
        }
        ++i;
    }
    return points;
}

int CheckCsv(const QByteArray &bytes, QString &why)
{
    std::vector<std::string_view> l;
    if (!SplitLines(bytes, l)) {
        why = QStringLiteral("a line does not end with CR LF");
        return -1;
    }
    if (l[0] != "Latitude,Longitude,Altitude, Date,Time") {
        why = QStringLiteral("the header line is wrong");
        return -1;
    }
    for (std::size_t i = 1; i < l.size(); ++i) {
        if (std::count(l[i].begin(), l[i].end(), ',') < 4) {
            why = QStringLiteral("line %1 has fewer than five fields").arg(i + 1);
            return -1;
        }
    }
    return int(l.size() - 1);
}

// Returns the number of "</Trackpoint>" lines of the run, or -1.
int CheckXml(const QByteArray &bytes, QString &why)
{
    std::vector<std::string_view> l;
    if (!SplitLines(bytes, l)) {
        why = QStringLiteral("a line does not end with CR LF");
        return -1;
    }
    const std::size_t count = l.size();
    if (count < 6) {
        why = QStringLiteral("only %1 lines").arg(count);
        return -1;
    }
    // The declaration keeps a byte order mark that stood before it.
    std::string_view declaration = l[0];
    if (declaration.starts_with("\xef\xbb\xbf"))
        declaration.remove_prefix(3);
    if (!(l[0].empty() || trimBlanks(declaration).starts_with("<?xml version=")) || !l[1].empty() ||
        !(l[2].empty() || trimBlanks(l[2]).starts_with("<History"))) {
        why = QStringLiteral(
            "it does not start with the declaration line, an empty line and the History line");
        return -1;
    }
    if (!trimBlanks(l[3]).starts_with("<Run>") || !trimBlanks(l[count - 2]).starts_with("</Run>") ||
        l[count - 1] != "</History>") {
        why = QStringLiteral("the run's lines are not framed by <Run>, </Run> and </History>");
        return -1;
    }
    int points = 0;
    for (std::size_t i = 3; i + 1 < count; ++i)
        points += trimBlanks(l[i]).starts_with("</Trackpoint>");
    return points;
}

// A GPX run's own day file read by Qt's own XML parser: well-formed. Returns
// its positioned track points (a trkpt of a trkseg of a trk of the root,
// with lat and lon), or -1.
int CheckOwnGpx(const QByteArray &bytes, QString &why)
{
    QXmlStreamReader xml(bytes);
    QStringList open;
    int positioned = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            static const QStringList point = {QStringLiteral("gpx"), QStringLiteral("trk"),
                                              QStringLiteral("trkseg")};
            const auto attributes = xml.attributes();
            positioned += xml.name() == u"trkpt" && open == point &&
                          attributes.hasAttribute(QStringLiteral("lat")) &&
                          attributes.hasAttribute(QStringLiteral("lon"));
            open << xml.name().toString();
        } else if (xml.isEndElement()) {
            open.removeLast();
        }
    }
    if (xml.hasError()) {
        why = QStringLiteral("not well-formed: %1").arg(xml.errorString());
        return -1;
    }
    return positioned;
}

// A Training Center day file read by Qt's own XML parser: well-formed, one
// activity. Returns its positioned track points, or -1.
int CheckTcx(const QByteArray &bytes, QString &why)
{
    QXmlStreamReader xml(bytes);
    int activities = 0, positioned = 0;
    bool inPoint = false, latitude = false, longitude = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            const auto name = xml.name();
            if (name == u"Activity" && ++activities > 1)
                break;
            if (name == u"Trackpoint")
                inPoint = true, latitude = longitude = false;
            latitude |= inPoint && name == u"LatitudeDegrees";
            longitude |= inPoint && name == u"LongitudeDegrees";
        } else if (xml.isEndElement() && xml.name() == u"Trackpoint") {
            positioned += latitude && longitude;
            inPoint = false;
        }
    }
    if (xml.hasError()) {
        why = QStringLiteral("not well-formed: %1").arg(xml.errorString());
        return -1;
    }
    if (activities != 1) {
        why = QStringLiteral("%1 activities").arg(activities);
        return -1;
    }
    return positioned;
}

// Whether the ASCII characters of a name are those XML allows in names: Qt's
// parser lets others pass, such as DEL.
bool AsciiNameCharacters(QStringView name)
{
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t c = name[i].unicode();
        const bool start =
            c == ':' || c == '_' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c >= 0x80;
        if (!start && (i == 0 || !(c == '-' || c == '.' || (c >= '0' && c <= '9'))))
            return false;
    }
    return !name.isEmpty();
}

// Whether Qt's XML parser reads the whole input without an error, names
// checked as XML has them.
bool WellFormed(QByteArrayView bytes)
{
    QXmlStreamReader xml(bytes.toByteArray());
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        bool named = AsciiNameCharacters(xml.qualifiedName());
        for (const QXmlStreamAttribute &attribute : xml.attributes())
            named = named && AsciiNameCharacters(attribute.qualifiedName());
        for (const QXmlStreamNamespaceDeclaration &declaration : xml.namespaceDeclarations())
            named = named &&
                    (declaration.prefix().isEmpty() || AsciiNameCharacters(declaration.prefix()));
        if (!named)
            return false;
    }
    return !xml.hasError();
}

QByteArray ReadAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Whether the engine reads the input as a GPX file.
bool IsGpx(QByteArrayView input)
{
    MemorySource source(std::string_view(input.data(), std::size_t(input.size())));
    InputBuffer buffer(source);
    const RecognisedFormat recognised = recogniseFormat(buffer);
    return recognised.refusal.isEmpty() && recognised.format == RunFormat::Gpx;
}

// How many of the inputs read are GPX files.
struct GpxInputs {
    bool some = false;
    bool all = false;
};

// Whether a run was read from a GPX file: told by its day files when the own
// format was asked for (a GPX run has neither .xml nor .tcx), else by the
// inputs; unknown when they are of several kinds.
std::optional<bool> IsGpxRun(const QStringList &found, bool ownChosen, GpxInputs gpx)
{
    if (!gpx.some)
        return false;
    if (ownChosen)
        return !found.contains(QLatin1String("xml")) && !found.contains(QLatin1String("tcx")) &&
               !found.contains(QLatin1String("fit"));
    if (gpx.all)
        return true;
    return std::nullopt;
}

// A FIT run's own day file is its file's bytes in an input, from its header
// on: to its CRC, or to where a damaged file ends.
QString CheckFitCopy(const QByteArray &bytes, const QList<QByteArray> &inputs)
{
    if (bytes.size() < 12 || bytes.sliced(8, 4) != ".FIT")
        return QStringLiteral("it does not start with a FIT header");
    for (const QByteArray &input : inputs)
        if (input.contains(bytes))
            return {};
    return QStringLiteral("it is not the bytes of a file of the input");
}

// A checker of one kind of day file: the track points it holds, -1 with why
// set when it is not what it should be, or kNoCount for a file whose points
// are not counted (a FIT file's copy).
constexpr int kNoCount = -2;
using DayFileCheck = int (*)(const QByteArray &bytes, const QList<QByteArray> &inputs,
                             QString &why);

template <int (*Check)(const QByteArray &, QString &)>
int Counted(const QByteArray &bytes, const QList<QByteArray> &, QString &why)
{
    return Check(bytes, why);
}

int FitCopy(const QByteArray &bytes, const QList<QByteArray> &inputs, QString &why)
{
    why = CheckFitCopy(bytes, inputs);
    return why.isEmpty() ? kNoCount : -1;
}

// The checkers of the kinds the fuzz cases convert to (GPX 1.0 and CSV), and
// of the runs' own documents by their extension; those of XML inputs promise
// their shape only when the input is well-formed.
struct KindCheck {
    DayFileKind kind;
    DayFileCheck check;
};
constexpr KindCheck kConvertedChecks[] = {{DayFileKind::Gpx, Counted<CheckGpx>},
                                          {DayFileKind::Csv, Counted<CheckCsv>}};
struct DocumentCheck {
    QLatin1StringView extension;
    DayFileCheck check;
    bool onlyOfWellFormedInput;
};
constexpr DocumentCheck kDocumentChecks[] = {{QLatin1StringView("gpx"), Counted<CheckOwnGpx>, true},
                                             {QLatin1StringView("fit"), FitCopy, false},
                                             {QLatin1StringView("tcx"), Counted<CheckTcx>, true},
                                             {QLatin1StringView("xml"), Counted<CheckXml>, false}};

// The extension of a kind's day files, without its dot.
QString ExtensionOf(DayFileKind kind)
{
    return QString(dayFileKindRow(kind).extension).mid(1);
}

// The name of a day file: a base name and the extension of a kind of the
// table, or of a run's own format.
QRegularExpression DayFileName()
{
    QStringList extensions = {QStringLiteral("xml"), QStringLiteral("tcx"), QStringLiteral("fit"),
                              QStringLiteral("gpx")};
    for (const DayFileKindRow &row : dayFileKindRows())
        if (!row.extension.isEmpty() && !extensions.contains(QString(row.extension).mid(1)))
            extensions << QString(row.extension).mid(1);
    return QRegularExpression(
        QStringLiteral(R"(^(\d{4})(\d{2})(\d{2})_(\d{2,})_([A-Za-z]+)\.(%1)$)")
            .arg(extensions.join(u'|')));
}

// The day files of one conversion, checked one by one and as a set.
QString CheckDayFiles(const QString &folder, const CaseRequest &request,
                      const RecordingProgress &progress, const ConversionSummary &summary,
                      const QList<QByteArray> &inputs, bool inputWellFormed, GpxInputs gpxInputs,
                      QMap<QString, QByteArray> &contents)
{
    static const QRegularExpression pattern = DayFileName();
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const auto entries = QDir(folder).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                                    QDir::NoDotAndDotDot);
    const bool ownChosen = request.options.dayFiles.testFlag(DayFileKind::OwnFormat);
    const bool gpxChosen = request.options.dayFiles.testFlag(DayFileKind::Gpx);
    const bool csvChosen = request.options.dayFiles.testFlag(DayFileKind::Csv);

    QMap<QString, QStringList> extensionsOf; // base name -> extensions found
    contents.clear();
    for (const QFileInfo &entry : entries) {
        const QString name = entry.fileName();
        const auto match = pattern.match(name);
        if (!entry.isFile() || !match.hasMatch())
            return QStringLiteral("unexpected entry \"%1\" in the output folder").arg(name);
        const QDate day(match.captured(1).toInt(), match.captured(2).toInt(),
                        match.captured(3).toInt());
        if (!day.isValid() || match.captured(1).toInt() == 0)
            return QStringLiteral("\"%1\" names no real day").arg(name);
        const int NN = match.captured(4).toInt();
        if (NN < 1 || match.captured(4) != QStringLiteral("%1").arg(NN, 2, 10, QLatin1Char('0')))
            return QStringLiteral("\"%1\" has a bad run number").arg(name);
        if (match.captured(5) != english.dayName(day.dayOfWeek()))
            return QStringLiteral("\"%1\" names the wrong weekday").arg(name);
        const QString base = name.left(name.size() - match.captured(6).size() - 1);
        extensionsOf[base] << match.captured(6);
        contents.insert(name, ReadAll(entry.filePath()));
    }

    QStringList written = progress.written;
    written.sort();
    if (written.removeDuplicates() != 0)
        return QStringLiteral("a day file was written twice in one conversion");
    QStringList present = contents.keys();
    if (written != present)
        return QStringLiteral("the files reported written (%1) are not the files present (%2)")
            .arg(written.join(QLatin1Char(' ')), present.join(QLatin1Char(' ')));
    // Every run converted has day files of its own name, when any are asked for.
    const bool anyChosen = ownChosen || gpxChosen || csvChosen;
    if (summary.filesWritten != present.size() ||
        (anyChosen && summary.runsConverted != extensionsOf.size()))
        return QStringLiteral("the summary counts %1 files of %2 runs, %3 present")
            .arg(summary.filesWritten)
            .arg(summary.runsConverted)
            .arg(present.size());
    // The own format's names are shown: .xml, .tcx, .fit, and a GPX run's
    // .gpx (its converted one takes the name).
    QStringList ownWritten;
    for (const QString &name : progress.written) {
        const QString base = name.left(name.size() - 4);
        if (ownChosen &&
            (!name.endsWith(QLatin1String(".gpx")) ||
             IsGpxRun(extensionsOf.value(base), true, gpxInputs).value_or(false)) &&
            !name.endsWith(QLatin1String(".txt")))
            ownWritten << name;
    }
    if (progress.shown != ownWritten)
        return QStringLiteral("the names shown are not the own format's day files written");

    for (auto it = extensionsOf.cbegin(); it != extensionsOf.cend(); ++it) {
        QStringList found = it.value();
        found.sort();
        // A run's own format: .xml for a history, .tcx for a Training Center
        // file, .fit for a FIT file, .gpx for a GPX file. A GPX run's GPX day
        // file is its own unless GPX runs are converted.
        const std::optional<bool> gpxRun = IsGpxRun(found, ownChosen, gpxInputs);
        const bool ownGpx =
            gpxRun.value_or(false) && (!gpxChosen || !request.options.convertGpxRuns);
        const QString documentExtension =
            found.contains(QLatin1String("tcx"))   ? QStringLiteral("tcx")
            : found.contains(QLatin1String("fit")) ? QStringLiteral("fit")
                                                   : QStringLiteral("xml");
        QStringList wanted;
        if (ownChosen && !gpxRun.value_or(false))
            wanted << documentExtension;
        if (csvChosen)
            wanted << QStringLiteral("txt");
        if (gpxChosen || (ownChosen && gpxRun.value_or(false)))
            wanted << QStringLiteral("gpx");
        wanted.sort();
        if (found != wanted)
            return QStringLiteral("run %1 has the day files %2")
                .arg(it.key(), found.join(QLatin1Char(' ')));
        // Each file's checker, the converted kinds' first: every file that
        // counts the run's points counts as many.
        std::vector<std::pair<QString, DayFileCheck>> checks;
        for (const KindCheck &kind : kConvertedChecks)
            if (request.options.dayFiles.testFlag(kind.kind) &&
                (kind.kind != DayFileKind::Gpx || (gpxRun.has_value() && !ownGpx)))
                checks.emplace_back(ExtensionOf(kind.kind), kind.check);
        const QString own = gpxRun.value_or(false) ? QStringLiteral("gpx") : documentExtension;
        if (ownGpx || (ownChosen && !gpxRun.value_or(false)))
            for (const DocumentCheck &document : kDocumentChecks)
                if (document.extension == own &&
                    (inputWellFormed || !document.onlyOfWellFormedInput))
                    checks.emplace_back(own, document.check);
        int points = -1;
        QString counted; // the file that counted them
        for (const auto &[extension, check] : checks) {
            const QString path = it.key() + u'.' + extension;
            QString why;
            const int count = check(contents.value(path), inputs, why);
            if (count == -1)
                return QStringLiteral("%1: %2").arg(path, why);
            if (count >= 0 && points >= 0 && count != points)
                return QStringLiteral("%1: %2 track points, %3 holds %4")
                    .arg(path)
                    .arg(count)
                    .arg(counted)
                    .arg(points);
            if (count >= 0) {
                points = count;
                counted = path;
            }
        }
    }
    return {};
}

bool ResetFolder(const QString &root, const QString &out)
{
    return QDir(root).removeRecursively() && QDir().mkpath(out);
}

// Whether an XML parser reads the file to its end: well-formed, UTF-8, and no
// reference to an entity that a file without a DTD does not know.
QString CheckWellFormed(const QByteArray &bytes)
{
    QXmlStreamReader reader(bytes);
    while (!reader.atEnd())
        if (reader.readNext() == QXmlStreamReader::EntityReference)
            return QStringLiteral("a reference to the entity %1").arg(reader.name());
    return reader.hasError() ? reader.errorString() : QString();
}

// What the conversion reads of the case's file: the file itself, or what it
// holds when it is compressed or an archive.
struct Unpacked {
    QList<QByteArray> inputs;
    bool whole = true; // false: something could not be unpacked
};

Unpacked Unpack(const QString &path)
{
    Unpacked unpacked;
    InputList list({path}, {});
    while (const Input *input = list.next()) {
        if (!input->source) {
            unpacked.whole = false;
            continue;
        }
        QByteArray bytes;
        char buffer[1 << 14];
        qint64 got;
        while ((got = input->source->read(buffer, sizeof buffer)) > 0)
            bytes.append(buffer, got);
        unpacked.whole = unpacked.whole && got == 0;
        unpacked.inputs.append(bytes);
    }
    return unpacked;
}

// Why the conversion, or one of its inputs, failed.
QStringList Failures(const ConversionSummary &summary)
{
    QStringList failures;
    if (!summary.ok())
        failures << summary.error;
    for (const InputReport &report : summary.inputReports)
        if (report.failed)
            failures << report.text;
    return failures;
}

class CountingList final : public RunListSink {
  public:
    void runListed(const ListedRun &) override { ++runs; }
    int runs = 0;
};

// The same window with GPX 1.1 and TCX day files and pictures, and listed:
// whatever the input holds, the files are well-formed XML, one of each per
// converted run.
QString CheckGpx11AndTcx(const QString &input, const QString &out, const CaseRequest &request,
                         int runsConverted, const QStringList &refusals)
{
    ConversionRequest conversion;
    conversion.inputFile = input;
    conversion.outputFolder = out;
    conversion.window = request.window;
    conversion.options = request.options;
    conversion.options.dayFiles = DayFileKind::Gpx | DayFileKind::Tcx | *dayFileKindOf(u"picture");
    conversion.options.gpxVersion = GpxVersion::V1_1;
    conversion.options.convertGpxRuns = true;
    conversion.today = CaseToday();
    SilentProgress silent;
    const ConversionSummary summary = makeDayFiles(conversion, silent);
    // An input refused (as not well-formed) is refused the same way whatever
    // the day files; the runs before the fault were checked above.
    if (!refusals.isEmpty())
        return Failures(summary) == refusals
                   ? QString()
                   : QStringLiteral("refused as \"%1\", then as \"%2\" for GPX 1.1 and TCX")
                         .arg(refusals.join(u'\n'), Failures(summary).join(u'\n'));
    if (!summary.ok())
        return QStringLiteral("the GPX 1.1 and TCX conversion failed: %1").arg(summary.error);
    CountingList list;
    if (const ConversionSummary listed = listRuns(conversion, list, silent); !listed.ok())
        return QStringLiteral("listing the runs failed: %1").arg(listed.error);
    if (summary.runsConverted != runsConverted || list.runs != runsConverted)
        return QStringLiteral("%1 runs converted to GPX 1.1 and TCX, %2 listed, %3 to the others")
            .arg(summary.runsConverted)
            .arg(list.runs)
            .arg(runsConverted);
    const auto files = QDir(out).entryInfoList(QDir::Files, QDir::Name);
    if (files.size() != 3 * runsConverted)
        return QStringLiteral("%1 GPX 1.1, TCX and picture day files of %2 runs")
            .arg(files.size())
            .arg(runsConverted);
    for (const QFileInfo &file : files)
        if (const QString problem = CheckWellFormed(ReadAll(file.filePath())); !problem.isEmpty())
            return QStringLiteral("%1: %2").arg(file.fileName(), problem);
    return {};
}

} // namespace

QString CheckConversion(QByteArrayView data, const QString &scratchFolder)
{
    if (data.size() < kCaseHeaderSize)
        return {};
    const CaseRequest request = ReadHeader(reinterpret_cast<const unsigned char *>(data.data()));
    const QString input = QDir(scratchFolder).filePath(QStringLiteral("history.xml"));
    const QString out = QDir(scratchFolder).filePath(QStringLiteral("out"));
    if (!ResetFolder(scratchFolder, out))
        return QStringLiteral("cannot prepare the scratch folder %1").arg(scratchFolder);
    {
        QFile file(input);
        const QByteArrayView history = data.sliced(kCaseHeaderSize);
        if (!file.open(QIODevice::WriteOnly) ||
            file.write(history.data(), history.size()) != history.size())
            return QStringLiteral("cannot write %1").arg(input);
    }

    // Judged on the bytes the readers read, unpacked.
    const Unpacked unpacked = Unpack(input);
    bool wellFormed = unpacked.whole;
    bool declaresTypes = false;
    GpxInputs gpxInputs{false, !unpacked.inputs.isEmpty()};
    for (const QByteArray &bytes : unpacked.inputs) {
        wellFormed = wellFormed && WellFormed(bytes);
        declaresTypes = declaresTypes || bytes.contains("<!DOCTYPE");
        const bool gpx = IsGpx(bytes);
        gpxInputs.some = gpxInputs.some || gpx;
        gpxInputs.all = gpxInputs.all && gpx;
    }
    QMap<QString, QByteArray> first;
    int runsConverted = 0;
    QStringList refusals; // why the first conversion, or one of its inputs, failed
    for (int round = 0; round < (request.convertTwice ? 2 : 1); ++round) {
        RecordingProgress progress;
        ConversionRequest conversion;
        conversion.inputFile = input;
        conversion.outputFolder = out;
        conversion.window = request.window;
        conversion.options = request.options;
        conversion.today = CaseToday();
        const ConversionSummary summary = makeDayFiles(conversion, progress);
        if (!progress.problem.isEmpty())
            return progress.problem;

        const QStringList inRoot =
            QDir(scratchFolder)
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                           QDir::Name);
        if (inRoot != QStringList{QStringLiteral("history.xml"), QStringLiteral("out")})
            return QStringLiteral("files appeared beside the output folder: %1")
                .arg(inRoot.join(QLatin1Char(' ')));

        if (!request.validWindow) {
            if (summary.ok() || progress.begun || !QDir(out).isEmpty())
                return QStringLiteral("an invalid date window was not refused before reading");
            return {};
        }
        // XML that is not well-formed stops the reading of its input (XML that
        // Qt reads may still declare entities of its own, which are not read),
        // and so does an input that no reader takes (UTF-16 Training Center,
        // binary data, a file of another kind) or that cannot be unpacked;
        // nothing else may.
        const QStringList failures = Failures(summary);
        for (const QString &failure : failures) {
            const bool refused = failure.contains(QLatin1String("is not well-formed XML")) ||
                                 failure.contains(QLatin1String("holds no root element")) ||
                                 failure.contains(QLatin1String("not a GPS file")) ||
                                 failure.contains(QLatin1String("is a damaged FIT file")) ||
                                 failure.contains(QLatin1String("Kelvane does not read"));
            if ((!refused && unpacked.whole) ||
                (wellFormed && !declaresTypes && !failure.contains(QLatin1String("in UTF-16"))))
                return QStringLiteral("the conversion failed: %1").arg(failure);
        }
        if (summary.runsConverted + summary.runsSkipped > summary.runsRead)
            return QStringLiteral("more runs converted and skipped than read");
        runsConverted = summary.runsConverted;
        refusals = failures;

        QMap<QString, QByteArray> contents;
        if (const QString problem = CheckDayFiles(out, request, progress, summary, unpacked.inputs,
                                                  wellFormed, gpxInputs, contents);
            !problem.isEmpty())
            return problem;
        if (round == 0)
            first = contents;
        else if (contents != first)
            return QStringLiteral("a second conversion into the same folder gave other day files");
    }
    if (request.gpx11AndTcx) {
        const QString modern = QDir(scratchFolder).filePath(QStringLiteral("gpx11-tcx"));
        if (!QDir().mkpath(modern))
            return QStringLiteral("cannot create %1").arg(modern);
        return CheckGpx11AndTcx(input, modern, request, runsConverted, refusals);
    }
    return {};
}

} // namespace kelvane
