// kelvane-bench: how fast the engine splits a large history, measured against
// what this machine needs just to read the input and to create the same files.
// Ratios taken in the same run hold on a busy or slow machine; the program
// exits with 1 when one of them is missed. Each scenario is a file of its own
// (*_scenario.cpp), all printed by one table printer (table.h).

#include "scenario.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>

#include <algorithm>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Times kelvane conversions against the machine's own floors."));
    parser.addHelpOption();
    const QCommandLineOption dataOption(
        QStringLiteral("data"), QStringLiteral("Scratch folder for histories and day files."),
        QStringLiteral("folder"), QStringLiteral("bench-data"));
    const QCommandLineOption repetitionsOption(QStringLiteral("repetitions"),
                                               QStringLiteral("Repetitions of each measure."),
                                               QStringLiteral("n"), QStringLiteral("5"));
    const QCommandLineOption tcxOption(QStringLiteral("tcx-only"),
                                       QStringLiteral("Measure the Training Center files only."));
    const QCommandLineOption exportOption(QStringLiteral("export-only"),
                                          QStringLiteral("Measure the zipped export only."));
    const QCommandLineOption fitOption(QStringLiteral("fit-only"),
                                       QStringLiteral("Measure the FIT file only."));
    parser.addOptions({dataOption, repetitionsOption, tcxOption, exportOption, fitOption});
    parser.process(app);
    const QString data = QDir(parser.value(dataOption)).absolutePath();
    const int repetitions = std::max(1, parser.value(repetitionsOption).toInt());
    if (!QDir().mkpath(data))
        Fail(QStringLiteral("Cannot create \"%1\"").arg(data));
    // Without an option every scenario is measured, the large history first.
    const bool all =
        !parser.isSet(tcxOption) && !parser.isSet(exportOption) && !parser.isSet(fitOption);
    FreshFolders folders(QDir(data).filePath(QStringLiteral("out")));
    bool allMet = true;
    if (all)
        BenchHistory(data, folders, repetitions, allMet);
    if (all || parser.isSet(tcxOption))
        BenchTrainingCenter(data, folders, repetitions, allMet);
    if (all || parser.isSet(exportOption))
        BenchExport(data, folders, repetitions, allMet);
    if (all || parser.isSet(fitOption))
        BenchFit(data, folders, repetitions, allMet);
    std::printf("\n%s\n", allMet ? "All targets met." : "A target was MISSED.");
    return allMet ? 0 : 1;
}
