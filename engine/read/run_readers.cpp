#include "read/run_readers.h"

#include "read/format_recognition.h"
#include "read/input_formats.h"

namespace kelvane {

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
    return inputFormat(recognised.format).makeReader(std::move(input), options, recognised.utf16);
}

} // namespace kelvane
