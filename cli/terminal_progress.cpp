#include "terminal_progress.h"

#include <kelvane/message_text.h>

#include <QByteArray>

#include <algorithm>
#include <cerrno>
#include <cstring>

TerminalProgress::TerminalProgress(bool showBar, bool namesOnTerminal)
    : showBar(showBar), namesOnTerminal(namesOnTerminal)
{
}

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
    if (!showBar || byBytes || maxDay <= minDay)
        return;
    const int percent = int(100LL * (day - minDay) / (maxDay - minDay));
    if (percent != shownPercent)
        draw(percent);
}

// The bytes of all inputs, when known; else the days from the first run to
// today, as the window's bar shows them (standard input alone).
void TerminalProgress::bytesRead(qint64 done, qint64 total)
{
    if (!showBar || total <= 0)
        return;
    byBytes = true;
    const int percent = int(100 * std::min(done, total) / total);
    if (percent != shownPercent)
        draw(percent);
}

void TerminalProgress::fileSaved(const QString &name)
{
    if (!writeError.isEmpty())
        return;
    const QByteArray line = name.toLocal8Bit() + '\n';
    const bool barShown = drawn && namesOnTerminal;
    if (barShown)
        clearBar();
    if (std::fwrite(line.constData(), 1, std::size_t(line.size()), stdout) !=
        std::size_t(line.size()))
        noteWriteError(errno);
    if (barShown) {
        std::fflush(stdout);
        draw(shownPercent);
    }
}

void TerminalProgress::waiting(const QString &reason)
{
    clearBar();
    std::fprintf(stderr, "kelvane-split: %s\n",
                 kelvane::escapeControlCharacters(reason).toLocal8Bit().constData());
    std::fflush(stderr);
}

void TerminalProgress::noteWriteError(int error)
{
    if (!writeError.isEmpty())
        return;
    writeError = QString::fromLocal8Bit(std::strerror(error));
    closed = error == EPIPE;
}

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

void TerminalProgress::clearBar()
{
    if (drawn) {
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
        drawn = false;
    }
}

bool TerminalProgress::finish()
{
    clearBar();
    if (std::fflush(stdout) != 0)
        noteWriteError(errno);
    if (std::ferror(stdout) && writeError.isEmpty())
        writeError = QStringLiteral("write error");
    return writeError.isEmpty();
}
