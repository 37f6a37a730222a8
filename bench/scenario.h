#pragma once

// The benchmark's scenarios, a file each, and what they share: the scratch
// folders every step writes into, the generated inputs, the medians.

#include "floors.h"
#include "history_generator.h"

#include <QString>

#include <functional>
#include <vector>

inline constexpr double kFilesTarget = 1.5; // conversion time / files floor

// Every step writes into a new, empty folder, and nothing is deleted until
// the end: ext4 without a journal passes over the inodes of files deleted in
// the last minutes on every file it creates, which would make each step pay
// for the clean-up of the one before. The disk queue is flushed first, so no
// step pays for another's writing either.
class FreshFolders {
  public:
    explicit FreshFolders(QString root);
    ~FreshFolders();
    QString next();

  private:
    QString root;
    int count = 0;
};

// A large history in the engine's own process, against the floors: each set
// of day files, a one-day window, peak memory, and the window against
// kelvane-split.
void BenchHistory(const QString &data, FreshFolders &folders, int repetitions, bool &allMet);
// Training Center files against gpsbabel, and peak memory.
void BenchTrainingCenter(const QString &data, FreshFolders &folders, int repetitions, bool &allMet);
// A zipped export of activities against gpsbabel once per file, and peak memory.
void BenchExport(const QString &data, FreshFolders &folders, int repetitions, bool &allMet);
// A large FIT activity against the floors and gpsbabel, and peak memory.
void BenchFit(const QString &data, FreshFolders &folders, int repetitions, bool &allMet);

double Median(std::vector<double> values);
double Seconds(const std::function<void()> &work);
[[noreturn]] void Fail(const QString &message);
std::vector<OutputFile> FilesIn(const QString &folder);
// A generated input file in the data folder ("tcx-100mb.tcx"), written once.
QString GeneratedFile(const QString &dataFolder, const char *kind, int megabytes,
                      GeneratedHistory (*generate)(const QString &, const HistoryShape &));
