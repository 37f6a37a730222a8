#pragma once

#include <QCommandLineOption>
#include <QList>
#include <QString>

// Options that belong together in the help, under a title.
struct HelpGroup {
    QString title;
    QList<QCommandLineOption> options;
};

// The help of kelvane-split: usage, description, and the options in their
// groups, each with its names and value in one column and its description
// beside it, wrapped to 80 columns. QCommandLineParser lists all options in
// one block.
QString helpText(const QString &usage, const QString &description, const QList<HelpGroup> &groups);
