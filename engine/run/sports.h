#pragma once

// The sports a run is filed under, whatever words its input uses for them.

#include <QFlags>
#include <QLatin1StringView>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace kelvane {

enum class Sport : std::uint16_t {
    Running = 0x1,
    Cycling = 0x2,
    Swimming = 0x4,
    Walking = 0x8,
    Hiking = 0x10,
    Rowing = 0x20,
    Skiing = 0x40,
    Multisport = 0x80,
    Other = 0x100,
};
Q_DECLARE_FLAGS(Sports, Sport)
Q_DECLARE_OPERATORS_FOR_FLAGS(Sports)

inline constexpr std::array kEverySport = {Sport::Running, Sport::Cycling,    Sport::Swimming,
                                           Sport::Walking, Sport::Hiking,     Sport::Rowing,
                                           Sport::Skiing,  Sport::Multisport, Sport::Other};

// "running", "cycling", ...: the names of --sport and of runs.csv.
QLatin1StringView sportName(Sport sport);
// The sport of that name, case-blind; nothing for another word.
std::optional<Sport> sportNamed(std::string_view name);

// The sport of an input's own word for it: a TCX Sport ("Running", "Biking",
// "Other") or MultiSportSession, a GPX type (Strava's "Ride", "TrailRun",
// Garmin Connect's "road_biking", "lap_swimming", Strava's older numbers "1"
// and "9"), a sport of our own names. Case, blanks, "_" and "-" do not count.
// Nothing for a word of blanks alone; Other for a word it does not know.
std::optional<Sport> sportOfWord(std::string_view word);

// The sport of a FIT session, lap or sport message: its sport enum and,
// where the sport alone does not tell (fitness equipment, generic), its
// sub_sport (treadmill, indoor cycling, indoor rowing ...).
Sport sportOfFit(unsigned sport, std::optional<unsigned> subSport);

// The sport of a run made of parts of these two sports: the sport itself
// when they agree, multisport when they do not.
inline Sport sportOfParts(Sport a, Sport b)
{
    return a == b ? a : Sport::Multisport;
}

// Reads a --sport list such as "running,cycling" (names case-blind, blanks
// around them allowed). On an unknown or missing name, the message of the
// bad usage, which lists the names; empty when the list is good.
QString readSportList(const QString &list, Sports &sports);

} // namespace kelvane
