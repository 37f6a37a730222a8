#include "fit_decoding_check.h"

#include "fit/fit_decoder.h"

#include <QStringList>

#include <string>
#include <vector>

namespace kelvane {

namespace {

const char *kindName(FitProblem::Kind kind)
{
    using Kind = FitProblem::Kind;
    switch (kind) {
    case Kind::headerCrcWrong:
        return "headerCrcWrong";
    case Kind::crcWrong:
        return "crcWrong";
    case Kind::dataSizeWrong:
        return "dataSizeWrong";
    case Kind::endsEarly:
        return "endsEarly";
    case Kind::endsMidRecord:
        return "endsMidRecord";
    case Kind::notFitAfterward:
        return "notFitAfterward";
    case Kind::notFit:
        return "notFit";
    case Kind::undefinedLocalType:
        return "undefinedLocalType";
    case Kind::definitionPastEnd:
        return "definitionPastEnd";
    case Kind::recordPastEnd:
        return "recordPastEnd";
    }
    return "?";
}

// Writes the events as lines, and checks their order as they come.
class Log final : public FitHandler {
  public:
    explicit Log(qint64 inputSize) : inputSize(inputSize) {}

    void fileStart(const FitHeader &header) override
    {
        check(!inFile && header.offset >= lastEnd, "a file starts inside another");
        inFile = true;
        start = header.offset;
        line() = "file " + std::to_string(header.offset);
    }
    void fileId(const FitFileId &m, qint64 at) override
    {
        message("id", at);
        put(" type=", m.type);
        put(" manufacturer=", m.manufacturer);
        put(" product=", m.product);
        put(" created=", m.timeCreated);
        if (!m.productName.empty())
            lines.back().append(" name=").append(m.productName);
    }
    void record(const FitRecord &m, qint64 at) override
    {
        message("record", at);
        put(" t=", m.timestamp);
        put(" device=", m.deviceTime);
        put(" lat=", m.latitude);
        put(" lon=", m.longitude);
        put(" alt=", m.altitude);
        put(" hr=", m.heartRate);
        put(" cad=", m.cadence);
        put(" dist=", m.distance);
        put(" speed=", m.speed);
        put(" power=", m.power);
        put(" temp=", m.temperature);
    }
    void hr(const FitHr &m, qint64 at) override
    {
        message("hr", at);
        put(" t=", m.timestamp);
        put(" fraction=", m.fractionalTimestamp);
        putBytes(" bpm=", m.filteredBpm);
        putBytes(" events=", m.eventTimestamp);
        putBytes(" events12=", m.eventTimestamp12);
    }
    void timestampCorrelation(const FitTimestampCorrelation &m, qint64 at) override
    {
        message("correlation", at);
        put(" t=", m.timestamp);
        put(" system=", m.systemTimestamp);
    }
    void lap(const FitLap &m, qint64 at) override
    {
        message("lap", at);
        put(" start=", m.startTime);
        put(" t=", m.timestamp);
        putTotals(m.totals);
        put(" avgHr=", m.avgHeartRate);
        put(" maxHr=", m.maxHeartRate);
        put(" avgCad=", m.avgCadence);
        put(" maxCad=", m.maxCadence);
        put(" intensity=", m.intensity);
        put(" trigger=", m.lapTrigger);
        put(" sport=", m.sport);
    }
    void session(const FitSession &m, qint64 at) override
    {
        message("session", at);
        put(" start=", m.startTime);
        put(" t=", m.timestamp);
        put(" sport=", m.sport);
        put(" subSport=", m.subSport);
        putTotals(m.totals);
        put(" firstLap=", m.firstLapIndex);
        put(" laps=", m.numLaps);
    }
    void activity(const FitActivity &m, qint64 at) override
    {
        message("activity", at);
        put(" t=", m.timestamp);
        put(" local=", m.localTimestamp);
        put(" sessions=", m.numSessions);
    }
    void fileEnd(const FitFileRange &range) override
    {
        check(inFile && range.start == start && range.end >= lastMessage && range.end <= inputSize,
              "a file ends where it cannot");
        inFile = false;
        lastEnd = range.end;
        line() = "end " + std::to_string(range.start) + '-' + std::to_string(range.end);
    }
    void problem(const FitProblem &problem) override
    {
        check(problem.offset >= 0 && problem.offset <= inputSize, "a problem outside the input");
        line() = std::string(problem.stopsFile() ? "error " : "warning ") + kindName(problem.kind) +
                 '@' + std::to_string(problem.offset);
    }

    std::vector<std::string> lines;
    QString wrong;
    bool inFile = false;

  private:
    std::string &line() { return lines.emplace_back(); }
    void message(const char *name, qint64 at)
    {
        check(inFile && at >= lastMessage && at < inputSize, "a message outside its file");
        lastMessage = at;
        line() = name + ('@' + std::to_string(at));
    }
    template <class T> void put(const char *name, const std::optional<T> &value)
    {
        if (value)
            lines.back().append(name).append(std::to_string(qint64(*value)));
    }
    // Bytes in hex.
    void putBytes(const char *name, std::string_view bytes)
    {
        if (bytes.empty())
            return;
        static constexpr char kDigits[] = "0123456789abcdef";
        std::string &text = lines.back().append(name);
        for (const char byte : bytes)
            text.append({kDigits[(byte >> 4) & 15], kDigits[byte & 15]});
    }
    void putTotals(const FitTotals &totals)
    {
        put(" elapsed=", totals.elapsedTime);
        put(" timer=", totals.timerTime);
        put(" dist=", totals.distance);
        put(" kcal=", totals.calories);
    }
    void check(bool holds, const char *what)
    {
        if (!holds && wrong.isEmpty())
            wrong = QString::fromLatin1(what) + QStringLiteral(" (event %1)").arg(lines.size());
    }

    qint64 inputSize;
    qint64 start = 0, lastEnd = 0, lastMessage = 0;
};

// Decodes input into log; false when the decoder would not finish at the input's end.
bool Decode(QByteArrayView input, qsizetype piece, Log &log)
{
    const std::string_view bytes(input.data(), std::size_t(input.size()));
    FitDecoder decoder(log);
    std::size_t from = 0, to = 0;
    while (!decoder.finished()) {
        const bool last = to == bytes.size();
        const std::size_t took = decoder.decode(bytes.substr(from, to - from), last);
        if (took > to - from || (last && !decoder.finished()))
            return false;
        from += took;
        to = piece > 0 ? std::min(bytes.size(), std::max(to, from) + std::size_t(piece))
                       : bytes.size();
    }
    return decoder.offset() == qint64(from);
}

} // namespace

QString FitDecodingLog(QByteArrayView input, qsizetype piece)
{
    Log log(input.size());
    if (!Decode(input, piece, log))
        return QStringLiteral("the decoder took what it was not given, or would not finish");
    QStringList lines;
    for (const std::string &line : log.lines)
        lines.append(QString::fromStdString(line));
    return lines.join(QLatin1Char('\n'));
}

QString CheckFitDecoding(QByteArrayView input)
{
    Log whole(input.size());
    if (!Decode(input, 0, whole))
        return QStringLiteral("the decoder took what it was not given, or would not finish");
    if (!whole.wrong.isEmpty())
        return whole.wrong;
    if (whole.inFile)
        return QStringLiteral("a file started and never ended");
    for (const qsizetype piece : {1, 4099}) {
        Log pieces(input.size());
        if (!Decode(input, piece, pieces) || pieces.lines != whole.lines)
            return QStringLiteral("in pieces of %1 bytes the decoder reads otherwise").arg(piece);
    }
    return {};
}

} // namespace kelvane
