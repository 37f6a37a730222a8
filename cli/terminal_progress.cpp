#include "terminal_progress.h"

#include <QByteArray>

#include <cstdio>

TerminalProgress::TerminalProgress(bool showBar) : showBar(showBar) {}

TerminalProgress::~TerminalProgress()
{
    finish();
}

void TerminalProgress::beginDays(int min, int max)
{
    minDay = min;
    maxDay = max;
}

void TerminalProgress::setDay(int day)
{
    if (!showBar || maxDay <= minDay)
        return;
    const int percent = int(100LL * (day - minDay) / (maxDay - minDay));
    if (percent != shownPercent)
        draw(percent);
}

void TerminalProgress::fileSaved(const QString &name)
{
    const QByteArray bytes = name.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stdout);
    std::fputc('\n', stdout);
}

// The bar stands for the days from the first run to today, as the window's does.
void TerminalProgress::draw(int percent)
{
    constexpr int kWidth = 40;
    const int filled = percent * kWidth / 100;
    char bar[kWidth + 1];
    for (int i = 0; i < kWidth; ++i)
        bar[i] = i < filled ? '#' : '.';
    bar[kWidth] = '\0';
    std::fprintf(stderr, "\r[%s] %3d%%", bar, percent);
    std::fflush(stderr);
    shownPercent = percent;
    drawn = true;
}

void TerminalProgress::finish()
{
    if (drawn) {
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
        drawn = false;
    }
}
