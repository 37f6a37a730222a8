#pragma once

#include <QString>

namespace kelvane {

// What the engine reports while it converts. Days are day serial numbers
// (see daySerial), one per calendar day; the engine keeps every setDay value
// inside the range its beginDays set.
class ProgressSink {
  public:
    virtual ~ProgressSink() = default;

    virtual void beginDays(int minDay, int maxDay) = 0;
    virtual void setDay(int day) = 0;
    // The bare name of a run's XML day file, reported before the file is written.
    virtual void showFileName(const QString &name) = 0;
    // The bare name of every day file that has been saved, in the order saved.
    virtual void fileSaved(const QString &name) { Q_UNUSED(name); }
    // The conversion waits, for the reason given, before it reads anything.
    virtual void waiting(const QString &reason) { Q_UNUSED(reason); }
    // The bytes of the inputs read so far, of `total` known beforehand (a
    // compressed file's compressed bytes; standard input and pipes count in
    // neither). Reported before the first input, at every run, and after each input.
    virtual void bytesRead(qint64 done, qint64 total)
    {
        Q_UNUSED(done);
        Q_UNUSED(total);
    }
};

// For callers that want no reports.
class SilentProgress final : public ProgressSink {
  public:
    void beginDays(int, int) override {}
    void setDay(int) override {}
    void showFileName(const QString &) override {}
};

} // namespace kelvane
