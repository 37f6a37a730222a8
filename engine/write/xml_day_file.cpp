// The XML day file: the run in the format it was read in, as its reader framed it.

#include "write/day_file_writer.h"

namespace kelvane {

namespace {

class XmlDayFile final : public DayFileWriter {
  public:
    RunContent needs() const override { return {.document = true}; }
    QLatin1StringView extension(const Run &run) const override { return run.documentExtension; }
    std::span<const std::string_view> write(const Run &run) override { return run.document; }
};

} // namespace

std::unique_ptr<DayFileWriter> makeXmlDayFile()
{
    return std::make_unique<XmlDayFile>();
}

} // namespace kelvane
