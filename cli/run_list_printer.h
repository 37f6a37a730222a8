#pragma once

#include <kelvane/run_list.h>

#include <QString>

// The list of runs of --list on stdout: a header line, then one line a run
// with its fields separated by tabs. The totals are kept for a footer.
class RunListPrinter final : public kelvane::RunListSink {
  public:
    // Prints the header.
    RunListPrinter();
    void runListed(const kelvane::ListedRun &run) override;
    // "3 runs, 2:05:10, 21.483 km, 1024 points, 1000 with a position"
    QString totals() const;

  private:
    int runs = 0;
    double seconds = 0;
    double meters = 0;
    qint64 points = 0;
    qint64 positioned = 0;
};

// Seconds as hours, minutes and seconds ("1:05:09"); empty when negative.
QString durationText(double seconds);
// Meters as kilometers with three decimals ("21.483"); empty when negative.
QString kilometersText(double meters);
// The first characters of a note on one line.
QString noteStart(const QString &note);
