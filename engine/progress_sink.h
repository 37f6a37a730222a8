#pragma once

#include <QString>

namespace kelvane {

// What the engine reports while it converts. Days are day serial numbers
// (see DaySerial), one per calendar day; the engine keeps every SetDay value
// inside the range its BeginDays set.
class ProgressSink {
  public:
    virtual ~ProgressSink() = default;

    virtual void BeginDays(int minDay, int maxDay) = 0;
    virtual void SetDay(int day) = 0;
    // The bare name of an XML day file, reported before the file is written.
    virtual void ShowFileName(const QString &name) = 0;
    // The bare name of every day file that has been saved, in the order saved.
    virtual void FileWritten(const QString &name) { Q_UNUSED(name); }
};

// For callers that want no reports.
class SilentProgress final : public ProgressSink {
  public:
    void BeginDays(int, int) override {}
    void SetDay(int) override {}
    void ShowFileName(const QString &) override {}
};

} // namespace kelvane
