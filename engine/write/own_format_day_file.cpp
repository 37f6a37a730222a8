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

class OwnDocumentOr final : public DayFileWriter {
  public:
    OwnDocumentOr(RunFormat format, std::unique_ptr<DayFileWriter> otherwise)
        : format(format), otherwise(std::move(otherwise))
    {
    }
    RunContent needs() const override
    {
        RunContent content = otherwise->needs();
        content.documents |= format;
        return content;
    }
    QLatin1StringView extension(const Run &run) const override { return otherwise->extension(run); }
    // The writer it stands for hands its parts over, as it would alone.
    void setPartSink(PartSink sink) override { otherwise->setPartSink(std::move(sink)); }
    std::span<const std::string_view> write(const Run &run) override
    {
        // A run without its document (a reader that keeps none) is written
        // as any other run.
        const bool own = run.format == format && (!run.document.empty() || run.documentContinued);
        return own ? run.document : otherwise->write(run);
    }

  private:
    const RunFormat format;
    const std::unique_ptr<DayFileWriter> otherwise;
};

} // namespace

std::unique_ptr<DayFileWriter> makeOwnFormatDayFile()
{
    return std::make_unique<OwnFormatDayFile>();
}

std::unique_ptr<DayFileWriter> makeOwnDocumentOr(RunFormat format,
                                                 std::unique_ptr<DayFileWriter> otherwise)
{
    return std::make_unique<OwnDocumentOr>(format, std::move(otherwise));
}

} // namespace kelvane
