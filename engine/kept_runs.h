#pragma once

// Where the conversion hands the runs it keeps (those in the date window,
// numbered and named): their day files saved (conversion.cpp), or their
// lines listed (run_listing.h).

#include "run/run.h"

#include <QString>
#include <QStringList>

#include <span>
#include <string_view>

namespace kelvane {

class KeptRuns {
  public:
    virtual ~KeptRuns() = default;
    // What a reader must keep of a run in the window.
    virtual RunContent needs() const = 0;
    // Before the inputs are looked up; false: stopped on request meanwhile.
    virtual bool begin() { return true; }
    // The paths of every input, before the first is read.
    virtual void protect(const QStringList &) {}
    // A kept run, read from input; false stops the reading (a day file could
    // not be saved). numberUsed tells whether a file bears its number.
    virtual bool take(Run &run, const QString &input, bool &numberUsed) = 0;
    // The open run's document so far (RunSink::runDocumentPart); the run
    // holds its format, start day and base name.
    virtual bool documentPart(const Run &, std::span<const std::string_view>) { return false; }
    // Lets go of the document of a run that is not taken.
    virtual void dropDocument() {}
    // Whether taking has failed: nothing more is taken.
    virtual bool failed() const { return false; }
    // After the last input; the error, if any, of the taking.
    virtual QString finish() { return {}; }
};

} // namespace kelvane
