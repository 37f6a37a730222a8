// The formats runs are read in, and their readers: a new format is one line here.

#include "read/run_readers.h"

#include "read/fit_reader.h"
#include "read/format_recognition.h"
#include "read/gpx_reader.h"
#include "read/history_reader.h"
#include "read/tcx_reader.h"

namespace kelvane {

namespace {

std::unique_ptr<RunReader> readerOf(const RecognisedFormat &recognised, InputBuffer &&input,
                                    const ReadingOptions &options)
{
    switch (recognised.format) {
    case RunFormat::History:
        return std::make_unique<HistoryReader>(std::move(input), options, recognised.utf16);
    case RunFormat::Tcx:
        return std::make_unique<TcxReader>(std::move(input), options, recognised.utf16);
    case RunFormat::Gpx:
        return std::make_unique<GpxReader>(std::move(input), options, recognised.utf16);
    case RunFormat::Fit:
        return std::make_unique<FitReader>(std::move(input), options);
    }
    return nullptr;
}

} // namespace

std::unique_ptr<RunReader> makeRunReader(ByteSource &source, bool named,
                                         const ReadingOptions &options, Refusal &refusal)
{
    InputBuffer input(source);
    const RecognisedFormat recognised = recogniseFormat(input);
    if (!recognised.refusal.isEmpty()) {
        refusal = {recognised.refusal, recognised.notGps, recognised.kinds};
        return nullptr;
    }
    if (recognised.plainText && !named) {
        const bool empty = input.size() == 0;
        const QString what = empty ? QStringLiteral("empty") : QStringLiteral("text");
        refusal = {QStringLiteral("\"%1\" is %2, not a GPS file").arg(source.name(), what), true,
                   empty ? QStringLiteral("empty files") : QStringLiteral("text files")};
        return nullptr;
    }
    return readerOf(recognised, std::move(input), options);
}

} // namespace kelvane
