#include "scenario.h"

#include "spread_subfolders.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <unistd.h>

FreshFolders::FreshFolders(QString root) : root(std::move(root))
{
    QDir(this->root).removeRecursively();
}

FreshFolders::~FreshFolders()
{
    QDir(root).removeRecursively();
    ::sync();
}

QString FreshFolders::next()
{
    if (count == 0)
        SpreadSubfolders(root);
    const QString folder = QDir(root).filePath(QString::number(++count));
    if (!QDir().mkpath(folder))
        Fail(QStringLiteral("Cannot create \"%1\"").arg(folder));
    ::sync();
    return folder;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double Seconds(const std::function<void()> &work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void Fail(const QString &message)
{
    std::fprintf(stderr, "kelvane-bench: %s\n", qPrintable(message));
    std::exit(2);
}

std::vector<OutputFile> FilesIn(const QString &folder)
{
    std::vector<OutputFile> files;
    for (const QFileInfo &info : QDir(folder).entryInfoList(QDir::Files, QDir::Name))
        files.push_back({info.fileName(), info.size()});
    return files;
}

QString GeneratedFile(const QString &dataFolder, const char *kind, int megabytes,
                      GeneratedHistory (*generate)(const QString &, const HistoryShape &))
{
    const QString path =
        QDir(dataFolder)
            .filePath(QStringLiteral("%1-%2mb.%1").arg(QLatin1String(kind)).arg(megabytes));
    if (QFileInfo::exists(path))
        return path;
    std::printf("Writing %s ...\n", qPrintable(path));
    std::fflush(stdout);
    const GeneratedHistory made = generate(path, {qint64(megabytes) << 20, 1});
    if (!made.error.isEmpty())
        Fail(made.error);
    return path;
}
