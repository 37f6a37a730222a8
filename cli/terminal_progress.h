#pragma once

#include <kelvane/progress_sink.h>

#include <QString>

#include <cstdio>

// Reports a conversion on the terminal: the name of every saved day file on
// stdout, and a progress bar on stderr when stderr is a terminal. When both
// go to the same screen, the bar's line is cleared before a name is printed
// and drawn again below it, so that the screen reads cleanly at any moment.
class TerminalProgress final : public kelvane::ProgressSink {
  public:
    TerminalProgress(bool showBar, bool namesOnTerminal);
    ~TerminalProgress() override;

    void beginDays(int minDay, int maxDay) override;
    void setDay(int day) override;
    void showFileName(const QString &) override {}
    void fileSaved(const QString &name) override;
    void waiting(const QString &reason) override;
    void bytesRead(qint64 done, qint64 total) override;

    // Clears the bar so that the lines after it start on a clean row, and
    // sends the names still buffered. False when the names could not all be
    // written (a full disk, a closed pipe); namesError() then says why. No
    // name is printed after the first that failed.
    bool finish();
    QString namesError() const { return writeError; }
    // Standard output was closed by its reader (a pager quit, `| head`).
    bool outputClosed() const { return closed; }

  private:
    void draw(int percent);
    void clearBar();
    void noteWriteError(int error);

    bool showBar;
    bool namesOnTerminal;
    bool drawn = false;
    int minDay = 0;
    int maxDay = 0;
    bool byBytes = false; // the inputs' sizes are known: the bar follows their bytes
    int shownPercent = -1;
    QString writeError;
    bool closed = false;
};
