#pragma once

#include <kelvane/progress_sink.h>

#include <cstdio>

// Reports a conversion on the terminal: the name of every saved day file on
// stdout, and a progress bar on stderr when stderr is a terminal.
class TerminalProgress final : public kelvane::ProgressSink {
  public:
    explicit TerminalProgress(bool showBar);
    ~TerminalProgress() override;

    void beginDays(int minDay, int maxDay) override;
    void setDay(int day) override;
    void showFileName(const QString &) override {}
    void fileSaved(const QString &name) override;

    // Clears the bar so that the lines after it start on a clean row.
    void finish();

  private:
    void draw(int percent);

    bool showBar;
    bool drawn = false;
    int minDay = 0;
    int maxDay = 0;
    int shownPercent = -1;
};
