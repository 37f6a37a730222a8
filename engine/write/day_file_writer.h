#pragma once

// A writer turns a run into one day file. Each kind of day file has one; a
// conversion asks the writers of the kinds chosen (see day_file_kinds.h).

#include "run/run.h"

#include <QLatin1StringView>
#include <QTimeZone>

#include <functional>
#include <memory>
#include <span>
#include <string_view>

namespace kelvane {

class DayFileWriter {
  public:
    virtual ~DayFileWriter() = default;
    // What the reader must keep of a run for this writer.
    virtual RunContent needs() const = 0;
    // The file name's extension, with its dot.
    virtual QLatin1StringView extension(const Run &run) const = 0;
    // The run's day file as pieces to write one after another. They point
    // into the run and into the writer, and stay valid until the next call.
    // With a part sink, the file's first parts may have gone there: the
    // pieces are then the rest.
    virtual std::span<const std::string_view> write(const Run &run) = 0;

    // Where the writer may hand the first parts of a long file (the day file
    // of a day-long FIT run runs to gigabytes) while it makes the rest, so
    // that memory holds about one part of it; none: files are made whole.
    using PartSink = std::function<void(std::string_view part)>;
    virtual void setPartSink(PartSink sink) { partSink = std::move(sink); }

  protected:
    // Hands the bytes made so far on as a part once they fill one; true
    // when it did, and the writer then makes the rest in a buffer emptied.
    bool handOverPart(std::string_view made)
    {
        if (made.size() < kPartBytes || !partSink)
            return false;
        partSink(made);
        return true;
    }

  private:
    static constexpr std::size_t kPartBytes = 1 << 20;
    PartSink partSink;
};

// Whether the writer's file of this run is the run's own document (its views
// into the reader's buffers), rather than made of its points and details.
inline bool writesDocument(const DayFileWriter &writer, const Run &run)
{
    return writer.needs().keepsDocumentOf(run.format);
}

// What shapes the writers' files beyond the run.
struct WritingOptions {
    int hourOffset = 0;                // added to the hours of the CSV and GPX 1.0 files
    bool escapeHighCharacters = false; // the TCX file's note in 7-bit characters
    QTimeZone timeZone;                // when valid, the CSV file shows its local times
};

// A kind whose day file of a run read in format is the run's own document
// (the GPX day file of a GPX run), made by otherwise for every other run
// and for a run whose reader kept no document. The writers of the kinds are
// declared beside their rows in day_file_kinds.cpp.
std::unique_ptr<DayFileWriter> makeOwnDocumentOr(RunFormat format,
                                                 std::unique_ptr<DayFileWriter> otherwise);

} // namespace kelvane
