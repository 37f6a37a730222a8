#include "write/local_csv_rows.h"

#include "time/instant.h"
#include "write/csv_field.h"

namespace kelvane {

void LocalCsvRows::appendRow(std::string &text, const TrackPoint &p)
{
    const std::string_view time = shownTime(p, 0, scratch);
    for (const std::string_view value : {p.latitude, p.longitude, p.altitude}) {
        appendCsvField(text, value);
        text += ',';
    }
    if (const auto at = readInstant(p.date, time)) {
        const qint64 local = at->seconds + zone.offsetAt(at->seconds);
        appendDate(text, local);
        text += ',';
        appendTimeOfDay(text, local);
        if (!at->fraction.empty()) {
            text += '.';
            text += at->fraction;
        }
    } else {
        appendCsvField(text, p.date);
        text += ',';
        appendCsvField(text, time);
    }
    text += "\r\n";
}

} // namespace kelvane
