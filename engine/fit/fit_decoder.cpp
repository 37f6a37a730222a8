#include "fit/fit_decoder.h"

#include "fit/fit_crc.h"
#include "fit/fit_profile.h"

#include <QtEndian>

#include <limits>

namespace kelvane {

namespace {

// The data end of a file whose header gives no data size: its CRC is found
// by its value at the input's end.
constexpr qint64 kUnknownEnd = std::numeric_limits<qint64>::max();

constexpr unsigned kCompressedTime = 0x80, kDefinition = 0x40, kDeveloperFields = 0x20;

const unsigned char *bytesOf(const char *p)
{
    return reinterpret_cast<const unsigned char *>(p);
}

unsigned localType(unsigned header)
{
    return header & kCompressedTime ? (header >> 5) & 3 : header & 0x0F;
}

// What the base types of FIT fields (by their number, the low five bits)
// are to the decoder.
struct BaseType {
    enum Invalid : std::uint8_t { allOnes, signedMax, zero, notANumber };
    std::uint8_t size;
    Invalid invalid;
    bool isSigned;
};

constexpr BaseType kBaseTypes[] = {
    {1, BaseType::allOnes, false},    // enum
    {1, BaseType::signedMax, true},   // sint8
    {1, BaseType::allOnes, false},    // uint8
    {2, BaseType::signedMax, true},   // sint16
    {2, BaseType::allOnes, false},    // uint16
    {4, BaseType::signedMax, true},   // sint32
    {4, BaseType::allOnes, false},    // uint32
    {1, BaseType::notANumber, false}, // string
    {4, BaseType::notANumber, false}, // float32
    {8, BaseType::notANumber, false}, // float64
    {1, BaseType::zero, false},       // uint8z
    {2, BaseType::zero, false},       // uint16z
    {4, BaseType::zero, false},       // uint32z
    {1, BaseType::notANumber, false}, // byte
    {8, BaseType::signedMax, true},   // sint64
    {8, BaseType::allOnes, false},    // uint64
    {8, BaseType::zero, false},       // uint64z
};
constexpr unsigned kStringType = 7;

// The hot path of reading a record, loadUnsigned, number and fill, is kept
// inline whatever the compiler would choose: called apart, they cost the
// decoder half its speed.
[[gnu::always_inline]] inline std::uint64_t loadUnsigned(const char *p, unsigned size,
                                                         bool bigEndian)
{
    switch (size) {
    case 1:
        return bytesOf(p)[0];
    case 2:
        return bigEndian ? qFromBigEndian<quint16>(p) : qFromLittleEndian<quint16>(p);
    case 4:
        return bigEndian ? qFromBigEndian<quint32>(p) : qFromLittleEndian<quint32>(p);
    default:
        return bigEndian ? qFromBigEndian<quint64>(p) : qFromLittleEndian<quint64>(p);
    }
}

} // namespace

const char *fitProblemText(FitProblem::Kind kind)
{
    switch (kind) {
    case FitProblem::Kind::headerCrcWrong:
        return "the FIT header's CRC is wrong";
    case FitProblem::Kind::crcWrong:
        return "the FIT file's CRC is wrong";
    case FitProblem::Kind::dataSizeWrong:
        return "the FIT file ends elsewhere than its header says";
    case FitProblem::Kind::endsEarly:
        return "the FIT file ends before its CRC";
    case FitProblem::Kind::endsMidRecord:
        return "the FIT file ends in the middle of a record";
    case FitProblem::Kind::notFitAfterward:
        return "the bytes after the FIT file are no FIT file";
    case FitProblem::Kind::notFit:
        return "no FIT file header";
    case FitProblem::Kind::undefinedLocalType:
        return "a FIT data message of a local type without definition";
    case FitProblem::Kind::definitionPastEnd:
        return "a FIT definition reaching past the end of the file";
    case FitProblem::Kind::recordPastEnd:
        return "a FIT data message reaching past the end of the file";
    }
    return "";
}

std::size_t FitDecoder::decode(std::string_view bytes, bool last)
{
    std::size_t used = 0;
    while (stage != Stage::finished) {
        const Stage before = stage;
        const std::string_view rest = bytes.substr(used);
        std::size_t took = 0;
        switch (stage) {
        case Stage::header:
            took = readHeader(rest, last);
            break;
        case Stage::records:
            took = readRecords(rest, last);
            break;
        case Stage::crc:
            took = readCrc(rest, last);
            break;
        case Stage::skip:
            took = skipToNextFile(rest, last);
            break;
        case Stage::finished:
            break;
        }
        used += took;
        at += qint64(took);
        if (took == 0 && stage == before)
            break; // waiting for more bytes
    }
    return used;
}

std::size_t FitDecoder::readHeader(std::string_view bytes, bool last)
{
    const auto *b = bytesOf(bytes.data());
    const std::size_t size = bytes.empty() ? 12 : std::max(12u, unsigned(b[0]));
    if (bytes.size() < size && !last)
        return 0;
    if (bytes.size() < size || b[0] < 12 || bytes.substr(8, 4) != ".FIT") {
        // After an error the file's own end was skipped to: nothing more to say.
        if (!anyFile)
            handler.problem({FitProblem::Kind::notFit, at});
        else if (!bytes.empty() && !skipped)
            warn(FitProblem::Kind::notFitAfterward, at);
        stage = Stage::finished;
        return bytes.size();
    }
    FitHeader header;
    header.offset = at;
    header.size = int(size);
    header.protocolVersion = b[1];
    header.profileVersion = qFromLittleEndian<quint16>(b + 2);
    header.dataSize = qFromLittleEndian<quint32>(b + 4);
    anyFile = true;
    skipped = false;
    fileStart = at;
    dataEnd = header.dataSize ? at + qint64(size) + header.dataSize : kUnknownEnd;
    crc = fitCrc(0, bytes.substr(0, size));
    anyTime = false;
    layouts = {};
    stage = Stage::records;
    handler.fileStart(header);
    // A header CRC of 0 was not computed.
    const std::uint16_t headerCrc = size >= 14 ? qFromLittleEndian<quint16>(b + 12) : 0;
    if (headerCrc != 0 && headerCrc != fitCrc(0, bytes.substr(0, 12)))
        warn(FitProblem::Kind::headerCrcWrong, at + 12);
    return size;
}

// Records up to the file's data end. Where the header gives that end wrong
// (a device that lost power writes no size, or a size it never reached), the
// input's end is the file's, its last two bytes the CRC when they match it.
// So that the outcome never depends on how the input is cut into pieces,
// such a record is taken only when two bytes follow it, or at the input's end.
std::size_t FitDecoder::readRecords(std::string_view bytes, bool last)
{
    std::size_t used = 0, counted = 0;
    const auto count = [&] {
        crc = fitCrc(crc, bytes.substr(counted, used - counted));
        counted = used;
        return used;
    };
    for (;;) {
        const qint64 offset = at + qint64(used);
        if (offset == dataEnd) {
            stage = Stage::crc;
            return count();
        }
        const std::string_view rest = bytes.substr(used);
        const bool endInReach = dataEnd - offset <= qint64(rest.size());
        if (!endInReach && rest.size() < 3) {
            if (!last)
                return count();
            count();
            if (rest.size() == 2 && qFromLittleEndian<quint16>(rest.data()) == crc) {
                warn(FitProblem::Kind::dataSizeWrong, offset);
                endFile(offset + 2);
                stage = Stage::header;
                return used + 2;
            }
            if (rest.empty()) {
                warn(FitProblem::Kind::endsEarly, offset);
                endFile(offset);
                stage = Stage::finished;
                return used;
            }
        }
        const std::size_t size = recordSize(rest);
        const bool definition =
            (bytesOf(rest.data())[0] & (kCompressedTime | kDefinition)) == kDefinition;
        if (size == 0) {
            count();
            damaged(FitProblem::Kind::undefinedLocalType, offset);
            return used;
        }
        if (endInReach && qint64(size) > dataEnd - offset) {
            count();
            damaged(definition ? FitProblem::Kind::definitionPastEnd
                               : FitProblem::Kind::recordPastEnd,
                    offset);
            return used;
        }
        const std::size_t wanted = endInReach || last ? size : size + 2;
        if (wanted > rest.size()) {
            if (!last)
                return count();
            count();
            warn(FitProblem::Kind::endsMidRecord, offset);
            endFile(at + qint64(bytes.size()));
            stage = Stage::finished;
            return bytes.size();
        }
        if (definition)
            define(rest.data());
        else
            deliver(rest.data(), offset);
        used += size;
    }
}

std::size_t FitDecoder::readCrc(std::string_view bytes, bool last)
{
    if (bytes.size() < 2) {
        if (!last)
            return 0;
        warn(FitProblem::Kind::endsEarly, at);
        endFile(at + qint64(bytes.size()));
        stage = Stage::finished;
        return bytes.size();
    }
    if (qFromLittleEndian<quint16>(bytes.data()) != crc)
        warn(FitProblem::Kind::crcWrong, at);
    endFile(at + 2);
    stage = Stage::header;
    return 2;
}

// After damage, on to where the header says the next chained file begins
// (or to the input's end, where it does not say or lies beyond): the file
// ends there.
std::size_t FitDecoder::skipToNextFile(std::string_view bytes, bool last)
{
    const qint64 left = dataEnd == kUnknownEnd ? kUnknownEnd : dataEnd + 2 - at;
    if (qint64(bytes.size()) >= left) {
        endFile(dataEnd + 2);
        skipped = true;
        stage = Stage::header;
        return std::size_t(left);
    }
    if (last) {
        endFile(at + qint64(bytes.size()));
        stage = Stage::finished;
    }
    return bytes.size();
}

// The bytes of the record that bytes begin with, or more than bytes.size()
// when they do not hold enough of it to tell; 0 for a data message whose
// local type has no definition.
std::size_t FitDecoder::recordSize(std::string_view bytes) const
{
    const auto *b = bytesOf(bytes.data());
    if (bytes.empty())
        return 1;
    if ((b[0] & (kCompressedTime | kDefinition)) != kDefinition) {
        const Layout &layout = layouts[localType(b[0])];
        return layout.defined ? layout.size : 0;
    }
    std::size_t size = 6; // header, reserved, architecture, global number, field count
    if (bytes.size() < size)
        return size;
    size += 3 * std::size_t(b[5]);
    if (!(b[0] & kDeveloperFields))
        return size;
    if (bytes.size() < size + 1)
        return size + 1;
    return size + 1 + 3 * std::size_t(b[size]);
}

void FitDecoder::define(const char *record)
{
    const auto *b = bytesOf(record);
    Layout &layout = layouts[localType(b[0])];
    layout = Layout();
    layout.defined = true;
    layout.bigEndian = b[2] != 0;
    layout.message =
        layout.bigEndian ? qFromBigEndian<quint16>(b + 3) : qFromLittleEndian<quint16>(b + 3);
    std::uint32_t offset = 1;
    const unsigned count = b[5];
    for (unsigned i = 0; i < count; ++i) {
        const unsigned char *definition = b + 6 + 3 * i;
        Field field = readField(definition, offset);
        offset += definition[1];
        if (fit_profile::isWholeField(layout.message, field.number) && definition[1] != 0) {
            field.size = definition[1];
            field.isText = field.whole = true;
        }
        if (field.size == 0)
            continue;
        if (field.number == fit_profile::kTimestampField && !field.isText)
            layout.timestamp = field;
        // A field defined twice is read where it comes first.
        const int index = fit_profile::readFieldIndex(layout.message, field.number);
        if (index >= 0 && layout.read[std::size_t(index)].size == 0)
            layout.read[std::size_t(index)] = field;
    }
    if (b[0] & kDeveloperFields) {
        const unsigned char *developer = b + 6 + 3 * count;
        for (unsigned i = 0; i < developer[0]; ++i)
            offset += developer[2 + 3 * i];
    }
    layout.size = offset;
}

// How to read a field from its definition (number, size, base type); a
// size of 0 when it holds no number or text (floats, bytes, odd sizes).
FitDecoder::Field FitDecoder::readField(const unsigned char *definition, std::uint32_t offset)
{
    Field field;
    field.offset = offset;
    field.number = definition[0];
    const unsigned size = definition[1], type = definition[2] & 0x1F;
    if (type == kStringType) {
        field.size = std::uint8_t(size);
        field.isText = true;
        return field;
    }
    if (type >= std::size(kBaseTypes))
        return field;
    const BaseType &base = kBaseTypes[type];
    if (base.invalid == BaseType::notANumber || size < base.size || size % base.size)
        return field;
    const std::uint64_t allOnes = ~std::uint64_t(0) >> (64 - 8 * base.size);
    field.size = base.size;
    field.isSigned = base.isSigned;
    field.invalid = base.invalid == BaseType::allOnes     ? allOnes
                    : base.invalid == BaseType::signedMax ? allOnes >> 1
                                                          : 0;
    return field;
}

// A number field's value; nothing when it holds the invalid value, or a
// number beyond 64-bit signed ones.
[[gnu::always_inline]] inline std::optional<std::int64_t>
FitDecoder::number(const Field &field, const char *record, bool bigEndian)
{
    const std::uint64_t raw = loadUnsigned(record + field.offset, field.size, bigEndian);
    if (raw == field.invalid)
        return {};
    if (field.isSigned) {
        const unsigned unused = 64 - 8 * field.size;
        return std::int64_t(raw << unused) >> unused;
    }
    if (raw > std::uint64_t(std::numeric_limits<std::int64_t>::max()))
        return {};
    return std::int64_t(raw);
}

// A text field's value, up to its first NUL.
std::string_view FitDecoder::text(const Field &field, const char *record)
{
    const std::string_view text(record + field.offset, field.size);
    return field.whole ? text : text.substr(0, text.find('\0'));
}

void FitDecoder::deliver(const char *record, qint64 offset)
{
    const unsigned header = bytesOf(record)[0];
    const Layout &layout = layouts[localType(header)];
    if (layout.timestamp.size != 0) {
        const std::optional<std::int64_t> time = number(layout.timestamp, record, layout.bigEndian);
        if (time && *time >= 0 && *time <= std::numeric_limits<std::uint32_t>::max()) {
            lastTime = std::uint32_t(*time);
            anyTime = true;
        }
    }
    // A compressed header gives the low five bits of the time; when they are
    // below the last time's, 32 seconds have rolled over. 0: no time.
    std::uint32_t time = 0;
    if (header & kCompressedTime && anyTime) {
        lastTime += ((header & 0x1F) - lastTime) & 0x1F;
        time = lastTime;
    }
    switch (layout.message) {
    case fit_profile::kFileId:
        deliver<FitFileId>(layout, record, time, offset, &FitHandler::fileId);
        break;
    case fit_profile::kRecord:
        deliver<FitRecord>(layout, record, time, offset, &FitHandler::record);
        break;
    case fit_profile::kLap:
        deliver<FitLap>(layout, record, time, offset, &FitHandler::lap);
        break;
    case fit_profile::kSession:
        deliver<FitSession>(layout, record, time, offset, &FitHandler::session);
        break;
    case fit_profile::kActivity:
        deliver<FitActivity>(layout, record, time, offset, &FitHandler::activity);
        break;
    case fit_profile::kHr:
        deliver<FitHr>(layout, record, time, offset, &FitHandler::hr);
        break;
    case fit_profile::kTimestampCorrelation:
        deliver<FitTimestampCorrelation>(layout, record, time, offset,
                                         &FitHandler::timestampCorrelation);
        break;
    }
}

template <class Message, class Call>
void FitDecoder::deliver(const Layout &layout, const char *record, std::uint32_t time,
                         qint64 offset, Call call)
{
    Message message;
    fill(message, layout, record,
         std::make_index_sequence<fit_profile::kReadFields<Message>.size()>());
    if constexpr (requires { message.timestamp; }) {
        if (!message.timestamp && time >= kFitFirstDate)
            message.timestamp = time;
    }
    if constexpr (requires { message.deviceTime; }) {
        if (!message.timestamp && !message.deviceTime && time != 0 && time < kFitFirstDate)
            message.deviceTime = time;
    }
    if constexpr (requires { message.bigEndian; })
        message.bigEndian = layout.bigEndian;
    (handler.*call)(message, offset);
}

// Each read field of the message in turn, its number known when compiled,
// so that no field costs more than its bytes and its checks.
template <class Message, std::size_t... I>
void FitDecoder::fill(Message &message, const Layout &layout, const char *record,
                      std::index_sequence<I...>)
{
    (fill<fit_profile::kReadFields<Message>[I]>(message, layout.read[I], record, layout.bigEndian),
     ...);
}

template <std::uint8_t Number, class Message>
[[gnu::always_inline]] inline void FitDecoder::fill(Message &message, const Field &field,
                                                    const char *record, bool bigEndian)
{
    if (field.size == 0)
        return;
    if (field.isText)
        fit_profile::setText(message, Number, text(field, record));
    else if (const std::optional<std::int64_t> value = number(field, record, bigEndian))
        fit_profile::setField(message, Number, *value);
}

void FitDecoder::endFile(qint64 end)
{
    handler.fileEnd({fileStart, end});
}

// Damage inside a file: its records end here, as where a file is cut; a
// file chained after it may still be read where its header says it ends.
void FitDecoder::damaged(FitProblem::Kind kind, qint64 offset)
{
    warn(kind, offset);
    stage = Stage::skip;
}

void FitDecoder::warn(FitProblem::Kind kind, qint64 offset)
{
    handler.problem({kind, offset});
}

} // namespace kelvane
