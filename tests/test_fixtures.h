#pragma once

// What the tests of several files share: a progress sink that keeps what it
// is told, a conversion into an emptied folder and what came of it, and the
// default locale set for one test.

#include "history_text.h"

#include <kelvane/conversion.h>
#include <kelvane/progress_sink.h>

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QStringList>
#include <QTemporaryDir>

namespace fixtures {

// The day the tests convert on, a Monday.
inline const QDate kToday(2026, 12, 7);

// The calls of days and names in order, and the files saved.
class RecordingProgress final : public kelvane::ProgressSink {
  public:
    void beginDays(int minDay, int maxDay) override
    {
        calls << QStringLiteral("BeginDays %1 %2").arg(minDay).arg(maxDay);
    }
    void setDay(int day) override { calls << QStringLiteral("SetDay %1").arg(day); }
    void showFileName(const QString &name) override
    {
        calls << QStringLiteral("ShowFileName ") + name;
    }
    void fileSaved(const QString &name) override { saved << name; }

    QStringList calls;
    QStringList saved;
};

using history_text::EmptyFolder;

inline kelvane::ConversionOptions Kinds(kelvane::DayFileKinds kinds, int hourOffset = 0)
{
    kelvane::ConversionOptions options;
    options.dayFiles = kinds;
    options.hourOffset = hourOffset;
    return options;
}

// The own format's, the CSV and the GPX day files.
inline kelvane::ConversionOptions AllFormats(int hourOffset = 0)
{
    using kelvane::DayFileKind;
    return Kinds(DayFileKind::OwnFormat | DayFileKind::Csv | DayFileKind::Gpx, hourOffset);
}

struct Converted {
    kelvane::ConversionSummary summary;
    QStringList saved; // in the order of saving
    QString folder;
    QByteArray file(const QString &name) const
    {
        QFile file(QDir(folder).filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
};

// Converts the input into the folder "out" of dir, emptied first.
inline Converted Convert(const QTemporaryDir &dir, const QString &input,
                         const kelvane::ConversionOptions &options,
                         const kelvane::DateWindow &window = {kelvane::earliestDay(), kToday})
{
    Converted result;
    result.folder = dir.filePath(QStringLiteral("out"));
    EmptyFolder(result.folder);
    RecordingProgress progress;
    result.summary =
        kelvane::makeDayFiles({input, result.folder, window, options, kToday}, progress);
    result.saved = progress.saved;
    return result;
}

// The default locale, set for as long as the guard lives.
class LocaleGuard {
  public:
    explicit LocaleGuard(const QLocale &locale) { QLocale::setDefault(locale); }
    ~LocaleGuard() { QLocale::setDefault(saved); }
    LocaleGuard(const LocaleGuard &) = delete;
    LocaleGuard &operator=(const LocaleGuard &) = delete;

  private:
    const QLocale saved;
};

} // namespace fixtures
