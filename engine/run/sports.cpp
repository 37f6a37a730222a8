#include "run/sports.h"

#include <QStringList>

#include <utility>

namespace kelvane {

namespace {

constexpr std::array<std::pair<Sport, QLatin1StringView>, kEverySport.size()> kNames = {{
    {Sport::Running, QLatin1StringView("running")},
    {Sport::Cycling, QLatin1StringView("cycling")},
    {Sport::Swimming, QLatin1StringView("swimming")},
    {Sport::Walking, QLatin1StringView("walking")},
    {Sport::Hiking, QLatin1StringView("hiking")},
    {Sport::Rowing, QLatin1StringView("rowing")},
    {Sport::Skiing, QLatin1StringView("skiing")},
    {Sport::Multisport, QLatin1StringView("multisport")},
    {Sport::Other, QLatin1StringView("other")},
}};

// Words of TCX, GPX (Strava, Garmin Connect and other apps) and FIT's own
// names, lower case, with blanks, "_" and "-" taken out. Words ending in the
// sport's own word ("TrailRun", "GravelRide", "OpenWaterSwimming") are found
// by kEndings; these are the others, and the exceptions to kEndings.
constexpr std::pair<std::string_view, Sport> kWords[] = {
    {"jog", Sport::Running},
    {"jogging", Sport::Running},
    {"treadmill", Sport::Running},
    {"9", Sport::Running}, // Strava's GPX files of before 2020
    {"bike", Sport::Cycling},
    {"ebike", Sport::Cycling},
    {"mountainbike", Sport::Cycling},
    {"roadbike", Sport::Cycling},
    {"mtb", Sport::Cycling},
    {"cycle", Sport::Cycling},
    {"spinning", Sport::Cycling},
    {"handcycle", Sport::Cycling},
    {"velomobile", Sport::Cycling},
    {"cyclocross", Sport::Cycling},
    {"bmx", Sport::Cycling},
    {"1", Sport::Cycling}, // Strava's GPX files of before 2020
    {"openwater", Sport::Swimming},
    {"trekking", Sport::Hiking},
    {"row", Sport::Rowing},
    {"rower", Sport::Rowing},
    {"virtualrow", Sport::Rowing},
    {"rollerski", Sport::Skiing},
    {"resortskiingsnowboarding", Sport::Skiing},
    {"backcountryskiingsnowboarding", Sport::Skiing},
    {"crosscountryskiingws", Sport::Skiing},
    {"skateskiingws", Sport::Skiing},
    {"multisport", Sport::Multisport},
    {"multisportsession", Sport::Multisport},
    {"triathlon", Sport::Multisport},
    {"duathlon", Sport::Multisport},
    {"brick", Sport::Multisport},
    {"swimrun", Sport::Multisport},
    // Words that end like a sport without being one.
    {"motorcycling", Sport::Other},
    {"wheelchairpushrun", Sport::Other},
    {"wheelchairpushwalk", Sport::Other},
    {"biketoruntransition", Sport::Other},
    {"runtobiketransition", Sport::Other},
    {"swimtobiketransition", Sport::Other},
};

constexpr std::pair<std::string_view, Sport> kEndings[] = {
    {"running", Sport::Running}, {"run", Sport::Running},     {"cycling", Sport::Cycling},
    {"biking", Sport::Cycling},  {"ride", Sport::Cycling},    {"swimming", Sport::Swimming},
    {"swim", Sport::Swimming},   {"walking", Sport::Walking}, {"walk", Sport::Walking},
    {"hiking", Sport::Hiking},   {"hike", Sport::Hiking},     {"rowing", Sport::Rowing},
    {"skiing", Sport::Skiing},   {"ski", Sport::Skiing},      {"other", Sport::Other},
};

} // namespace

QLatin1StringView sportName(Sport sport)
{
    for (const auto &[each, name] : kNames)
        if (each == sport)
            return name;
    return {};
}

std::optional<Sport> sportNamed(std::string_view name)
{
    for (const auto &[sport, each] : kNames)
        if (QLatin1StringView(name.data(), qsizetype(name.size()))
                .compare(each, Qt::CaseInsensitive) == 0)
            return sport;
    return std::nullopt;
}

std::optional<Sport> sportOfWord(std::string_view word)
{
    // The word's letters and digits, lower case; words longer than any of
    // ours are of no sport of ours.
    char folded[40];
    std::size_t size = 0;
    for (const char c : word) {
        if (c == ' ' || c == '_' || c == '-' || c == '\t' || c == '\r' || c == '\n')
            continue;
        if (size == sizeof folded)
            return Sport::Other;
        folded[size++] = c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
    }
    if (size == 0)
        return std::nullopt;
    const std::string_view key(folded, size);
    for (const auto &[each, sport] : kWords)
        if (each == key)
            return sport;
    for (const auto &[ending, sport] : kEndings)
        if (key.ends_with(ending))
            return sport;
    return Sport::Other;
}

Sport sportOfFit(unsigned sport, std::optional<unsigned> subSport)
{
    switch (sport) {
    case 1:
        return Sport::Running;
    case 2:
    case 21: // e-biking
        return Sport::Cycling;
    case 5:
        return Sport::Swimming;
    case 11:
        return Sport::Walking;
    case 17:
        return Sport::Hiking;
    case 15:
        return Sport::Rowing;
    case 12: // cross-country skiing
    case 13: // alpine skiing
        return Sport::Skiing;
    case 18:
        return Sport::Multisport;
    case 0: // generic
    case 4: // fitness equipment: the machine tells
        switch (subSport.value_or(0)) {
        case 1:  // treadmill
        case 45: // indoor running
            return Sport::Running;
        case 6:  // indoor cycling
        case 28: // e-bike fitness
            return Sport::Cycling;
        case 14: // indoor rowing
            return Sport::Rowing;
        case 25: // indoor skiing
            return Sport::Skiing;
        case 27: // indoor walking
            return Sport::Walking;
        case 17: // lap swimming
        case 18: // open water
            return Sport::Swimming;
        }
        return Sport::Other;
    }
    return Sport::Other;
}

QString readSportList(const QString &list, Sports &sports)
{
    sports = {};
    for (const QString &item : list.split(QLatin1Char(','))) {
        const QByteArray name = item.trimmed().toUtf8();
        const std::optional<Sport> sport = sportNamed(std::string_view(name.data(), name.size()));
        if (!sport) {
            QStringList names;
            for (const auto &[each, eachName] : kNames)
                names << eachName;
            const QString known = names.join(QStringLiteral(", "));
            if (name.isEmpty())
                return QStringLiteral("--sport needs names of sports from %1, separated by commas")
                    .arg(known);
            return QStringLiteral("unknown sport \"%1\" in --sport (give names from %2, "
                                  "separated by commas)")
                .arg(item.trimmed(), known);
        }
        sports |= *sport;
    }
    return {};
}

} // namespace kelvane
