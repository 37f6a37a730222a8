#pragma once

// runs.csv, the catalogue of a library folder: one row per run whose day
// files are in the folder, after a header line. RFC 4180 in UTF-8, lines
// ended by CR LF, numbers with a dot and without thousands separators,
// empty fields where a figure is unknown. The columns, in order:
//
//   base_name            YYYYMMDD_NN_Weekday of the run's day files
//   day_files            their extensions, separated by blanks: ".xml .gpx"
//   start                the start, ISO 8601 in UTC: 2020-09-23T07:12:00Z
//   local_start          the same instant in the zone its day is filed
//                        under: 2020-09-23T10:12:00+03:00
//   sport                running, cycling, swimming, walking, hiking,
//                        rowing, skiing, multisport or other
//   sport_word           the input's own word for the sport
//   elapsed_s            first to last point, or the device's total
//   moving_s             moving time
//   distance_m, ascent_m, descent_m, lowest_m, highest_m
//   average_speed_m_s    distance over moving time
//   maximum_speed_m_s    as the device recorded it
//   heart_rate_avg_bpm, heart_rate_max_bpm, cadence_avg_rpm
//   power_avg_w, power_max_w, calories_kcal, temperature_avg_c
//   device               maker and product, or the creator the file names
//   points, positioned_points
//   input                the input the run was read from, and inside an
//                        archive the entry: "export.zip: activities/1.fit"
//   fingerprint          of the run's own bytes (runFingerprint)
//
// Columns may be added at the end in later versions; none is ever moved.

#include "library/catalogue_row.h"

#include <QString>

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane {

inline constexpr char kRunsCsvName[] = "runs.csv";

// The figures runs.csv holds as numbers, in its order (elapsed_s to
// temperature_avg_c), with the decimals each keeps.
struct FigureNumberColumn {
    std::string_view name;
    std::optional<double> RunFigures::*figure;
    int decimals;
};
std::span<const FigureNumberColumn> figureNumberColumns();

// Appends a figure as runs.csv writes it: a dot, no thousands separators,
// no trailing zeros; nothing for a value that is not finite.
void appendFigureNumber(std::string &out, double value, int decimals);

// The header line of runs.csv, without its line end.
std::string_view runsCsvHeader();

// Appends a row of runs.csv, with its line end.
void appendRunsCsvRow(std::string &out, const CatalogueRow &row);

// The whole file for these rows, in their order.
std::string runsCsvText(std::span<const CatalogueRow> rows);

// Why a runs.csv was refused: the line (from 1) where the row in question
// begins, and the reason.
struct RunsCsvRefusal {
    qint64 line = 0;
    QString reason;
};

// Reads the rows of a runs.csv written by runsCsvText, in the file's order.
// A file that is not ours (another header) or is damaged (a field that is
// not what its column holds, a row of another length, a quote left open, a
// base name twice) is refused whole: false, with the line and the reason.
bool readRunsCsv(std::string_view text, std::vector<CatalogueRow> &rows, RunsCsvRefusal &refusal);

} // namespace kelvane
