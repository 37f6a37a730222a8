// The own format's day file: the run in the format it was read in, as its
// reader framed it (for a history, the XML day file).

#include "write/day_file_writer.h"

namespace kelvane {

namespace {

class OwnFormatDayFile final : public DayFileWriter {
  public:
    RunContent needs() const override { return {.documents = kEveryRunFormat}; }
    QLatin1StringView extension(const Run &run) const override
    {
        return documentExtension(run.format);
    }
    std::span<const std::string_view> write(const Run &run) override { return run.document; }
};

} // namespace

std::unique_ptr<DayFileWriter> makeOwnFormatDayFile()
{
    return std::make_unique<OwnFormatDayFile>();
}

} // namespace kelvane
