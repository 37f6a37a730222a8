#include "table.h"

#include <QFileInfo>

#include <cstdio>

const char *Verdict(bool met, bool &allMet)
{
    allMet = allMet && met;
    return met ? "met" : "MISSED";
}

void PrintTimingHeader(const char *measure, bool withRatio)
{
    if (withRatio)
        std::printf("%-34s%7s%9s %8s  %7s  %s\n", measure, "files", "seconds", "MiB/s", "ratio",
                    "target");
    else
        std::printf("%-34s%7s%9s %8s\n", measure, "files", "seconds", "MiB/s");
}

void PrintRow(const Row &row, bool &allMet)
{
    std::printf("%-34s", qPrintable(row.measure));
    if (row.files >= 0)
        std::printf("%7lld", row.files);
    else
        std::printf("%7s", "");
    std::printf("%9.3f %8.0f", row.seconds, row.inputBytes / kMiB / row.seconds);
    if (row.ratio > 0)
        std::printf("  %6.2fx", row.ratio);
    if (row.target > 0)
        std::printf("  <= %.1fx  %s", row.target, Verdict(row.ratio <= row.target, allMet));
    std::printf("\n");
}

void PrintPeakHeader(const char *measure, const char *largest, const char *above)
{
    std::printf("%-34s%9s %8s %11s %11s %11s  %s\n", measure, "seconds", "MiB/s", largest,
                "peak RSS", above, "target");
}

void PrintPeakRow(const QString &path, const HistoryFacts &facts, const ChildResult &child,
                  bool &allMet)
{
    const double above = double(child.peakRssBytes - facts.largestRunBytes) / kMiB;
    std::printf("%-34s%9.3f %8.0f %7.2f MiB %7.2f MiB %7.2f MiB  <= %.0f MiB  %s\n",
                qPrintable(QStringLiteral("kelvane-split, ") + QFileInfo(path).fileName()),
                child.seconds, double(facts.bytes) / kMiB / child.seconds,
                double(facts.largestRunBytes) / kMiB, double(child.peakRssBytes) / kMiB, above,
                kMemoryTarget, Verdict(above <= kMemoryTarget, allMet));
}

void PrintSpeedUp(const char *label, double ratio, double least, bool &allMet)
{
    std::printf("%-34s%33.1fx", label, ratio);
    if (least > 0)
        std::printf("  >= %.0fx  %s", least, Verdict(ratio >= least, allMet));
    std::printf("\n");
}

void PrintGrowth(const char *label, double mebibytes, double most, bool &allMet)
{
    std::printf("%-34s%46.2f MiB  <= %.0f MiB  %s\n", label, mebibytes, most,
                Verdict(mebibytes <= most, allMet));
}
