#include "help_text.h"

#include <QStringList>

#include <algorithm>

namespace {

constexpr qsizetype kWidth = 80;

// "-C, --directory DIR"
QString namesOf(const QCommandLineOption &option)
{
    QStringList names;
    for (const QString &name : option.names())
        names << (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
    QString text = names.join(QStringLiteral(", "));
    if (!option.valueName().isEmpty())
        text += QStringLiteral(" <") + option.valueName() + QLatin1Char('>');
    return text;
}

// The description's words in lines of at most `width` characters.
QStringList wrapped(const QString &text, qsizetype width)
{
    QStringList lines;
    QString line;
    for (const QString &word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (!line.isEmpty() && line.size() + 1 + word.size() > width) {
            lines << line;
            line.clear();
        }
        line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + word;
    }
    if (!line.isEmpty())
        lines << line;
    return lines;
}

} // namespace

QString helpText(const QString &usage, const QString &description, const QList<HelpGroup> &groups)
{
    qsizetype column = 0;
    for (const HelpGroup &group : groups)
        for (const QCommandLineOption &option : group.options)
            column = std::max(column, namesOf(option).size());
    column += 4; // two blanks before the names, two after
    const QString indent(column, QLatin1Char(' '));

    QString text = QStringLiteral("Usage: ") + usage + QLatin1Char('\n') +
                   wrapped(description, kWidth).join(QLatin1Char('\n')) + QLatin1Char('\n');
    for (const HelpGroup &group : groups) {
        text += QStringLiteral("\n") + group.title + QStringLiteral(":\n");
        for (const QCommandLineOption &option : group.options) {
            const QStringList lines = wrapped(option.description(), kWidth - column);
            text += (QStringLiteral("  ") + namesOf(option)).leftJustified(column);
            text += lines.value(0) + QLatin1Char('\n');
            for (qsizetype i = 1; i < lines.size(); ++i)
                text += indent + lines[i] + QLatin1Char('\n');
        }
    }
    return text;
}
