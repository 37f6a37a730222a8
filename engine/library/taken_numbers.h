#pragma once

#include <QDate>
#include <QStringList>
#include <QStringView>

#include <unordered_map>

namespace kelvane {

// The numbers NN that the files of a library folder already take on each
// day, so that a run added to the library is numbered after them and no day
// file of another activity is ever replaced. Every name that begins with
// YYYYMMDD_NN_ counts, whatever its extension or weekday's language.
class TakenNumbers {
  public:
    TakenNumbers() = default;
    explicit TakenNumbers(const QStringList &fileNames)
    {
        for (const QString &name : fileNames)
            addFileName(name);
    }
    void addFileName(QStringView name);
    void take(QDate day, int number);
    // The first free number of the day: one after the highest taken, or 1.
    int next(QDate day) const;

  private:
    std::unordered_map<qint64, int> highest; // by Julian day
};

} // namespace kelvane
