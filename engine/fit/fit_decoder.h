#pragma once

// The decoder of FIT files: the binary format of today's watches and bike
// computers. It reads the frame of each file (header, definition and data
// messages, compressed timestamps, the CRC), one FIT file after another when
// several are chained in one input, and hands the messages that a splitter
// needs (see fit_messages.h) to a handler as it meets them, with the byte
// offset of each. Everything else is read past by its size.
//
// Bytes come in as the caller reads them: each decode() takes the whole
// records at the front of the bytes handed in, and the caller hands the rest
// in again with more behind it. The decoder keeps no bytes and allocates
// nothing; its memory is the definitions of the 16 local message types.
// With a ChunkReader (whose chunks are larger than kLongestStep):
//
//     FitDecoder decoder(handler);
//     while (!decoder.finished()) {
//         const qint64 from = decoder.offset();
//         decoder.decode({input.at(from), std::size_t(input.end() - from)}, input.atEnd());
//         if (!decoder.finished() && !input.readMore(decoder.offset()) && !input.atEnd())
//             break; // a read error
//     }
//
// (a reader that writes a file's own bytes keeps them from its fileStart on).

#include "fit/fit_messages.h"
#include "fit/fit_profile.h"

#include <QtGlobal>

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>

namespace kelvane {

// A FIT file's header.
struct FitHeader {
    qint64 offset = 0;       // of the header in the input: where the file starts
    int size = 0;            // 12, 14 or more bytes
    int protocolVersion = 0; // the major version in the high nibble
    int profileVersion = 0;
    std::uint32_t dataSize = 0; // the bytes of records; 0 when the device did not say
};

// Where a FIT file lies in the input, header to CRC: [start, end).
struct FitFileRange {
    qint64 start = 0, end = 0;
};

// Something wrong with the input, at a byte offset.
struct FitProblem {
    enum class Kind : std::uint8_t {
        // Warnings: the file's whole records are handed over all the same.
        headerCrcWrong,  // offset: the header's CRC
        crcWrong,        // offset: the file's CRC
        dataSizeWrong,   // offset: the file's CRC, found elsewhere than the header says
        endsEarly,       // offset: the input's end, before the file's CRC
        endsMidRecord,   // offset: the record the input ends in
        notFitAfterward, // offset: bytes after the last FIT file that are no FIT file
        // Damage inside a file: its records end there, as if the file were
        // cut; its bytes run on to where its header says it ends.
        undefinedLocalType, // offset: a data message whose local type has no definition
        definitionPastEnd,  // offset: a definition reaching past the file's data
        recordPastEnd,      // offset: a data message reaching past the file's data
        // The error: nothing is read.
        notFit, // offset 0: the input does not start with a FIT header
    };
    Kind kind;
    qint64 offset = 0;

    bool stopsFile() const { return kind >= Kind::notFit; }
};

// What went wrong, as a phrase for a message naming the file and the offset.
const char *fitProblemText(FitProblem::Kind kind);

// Receives what the decoder reads; each message with the offset of its
// record. Values and texts live only for the call.
class FitHandler {
  public:
    virtual ~FitHandler() = default;
    virtual void fileStart(const FitHeader &) {}
    virtual void fileId(const FitFileId &, qint64) {}
    virtual void record(const FitRecord &, qint64) {}
    virtual void lap(const FitLap &, qint64) {}
    virtual void session(const FitSession &, qint64) {}
    virtual void activity(const FitActivity &, qint64) {}
    virtual void hr(const FitHr &, qint64) {}
    virtual void timestampCorrelation(const FitTimestampCorrelation &, qint64) {}
    // After the file's CRC, or where its reading stopped; every fileStart has one.
    virtual void fileEnd(const FitFileRange &) {}
    // Comes before the fileEnd of the file it concerns.
    virtual void problem(const FitProblem &) {}
};

class FitDecoder {
  public:
    // The most bytes one step needs at once: the longest record (255 fields
    // and 255 developer fields of 255 bytes) and the two bytes after it. A
    // caller hands in at least this many bytes, or all there are left.
    static constexpr std::size_t kLongestStep = 1 + 2 * 255 * 255 + 2;

    explicit FitDecoder(FitHandler &handler) : handler(handler) {}

    // Reads the bytes at offset() on, as far as they hold whole records, and
    // returns how many it took. `last`: no bytes follow these, so the input
    // ends here, in the middle of a record or not; everything is taken.
    std::size_t decode(std::string_view bytes, bool last);
    // The offset in the input of the next byte to hand in.
    qint64 offset() const { return at; }
    // No more bytes are wanted: the input ended or could be read no further.
    bool finished() const { return stage == Stage::finished; }

  private:
    enum class Stage : std::uint8_t { header, records, crc, skip, finished };
    // A field that is read: where it lies in the data message, and how its
    // bytes make a value, worked out once from its definition.
    struct Field {
        std::uint64_t invalid = 0; // the value that stands for none
        std::uint32_t offset = 0;
        std::uint8_t number = 0;
        std::uint8_t size = 0; // of a number: 1, 2, 4 or 8 (an array's first); of a text, all;
                               // 0: the field is not read
        bool isSigned = false;
        bool isText = false;
        bool whole = false; // a text or array read with every byte, NULs too
    };
    // The layout of a local message type's data messages, from its definition.
    struct Layout {
        bool defined = false;
        bool bigEndian = false;
        std::uint16_t message = 0; // global number
        std::uint32_t size = 0;    // of the data message, header byte included
        Field timestamp;           // field 253, which every message may have
        // The fields read, in the order of fit_profile::kReadFields of the message.
        std::array<Field, fit_profile::kMostReadFields> read;
    };

    std::size_t readHeader(std::string_view bytes, bool last);
    std::size_t readRecords(std::string_view bytes, bool last);
    std::size_t readCrc(std::string_view bytes, bool last);
    std::size_t skipToNextFile(std::string_view bytes, bool last);
    std::size_t recordSize(std::string_view bytes) const;
    void define(const char *record);
    static Field readField(const unsigned char *definition, std::uint32_t offset);
    static std::optional<std::int64_t> number(const Field &field, const char *record,
                                              bool bigEndian);
    static std::string_view text(const Field &field, const char *record);
    void deliver(const char *record, qint64 offset);
    template <class Message, class Call>
    void deliver(const Layout &layout, const char *record, std::uint32_t time, qint64 offset,
                 Call call);
    template <class Message, std::size_t... I>
    static void fill(Message &message, const Layout &layout, const char *record,
                     std::index_sequence<I...>);
    template <std::uint8_t Number, class Message>
    static void fill(Message &message, const Field &field, const char *record, bool bigEndian);
    void endFile(qint64 end);
    void damaged(FitProblem::Kind kind, qint64 offset);
    void warn(FitProblem::Kind kind, qint64 offset);

    FitHandler &handler;
    Stage stage = Stage::header;
    qint64 at = 0;         // the input's offset of the next byte
    bool anyFile = false;  // a FIT header was read
    bool skipped = false;  // the bytes before this file were skipped after an error
    qint64 fileStart = 0;  // of the current file
    qint64 dataEnd = 0;    // where its CRC should be (kUnknownEnd: anywhere)
    std::uint16_t crc = 0; // of its bytes before `at`
    std::uint32_t lastTime = 0;
    bool anyTime = false; // lastTime holds a timestamp of this file
    std::array<Layout, 16> layouts;
};

} // namespace kelvane
