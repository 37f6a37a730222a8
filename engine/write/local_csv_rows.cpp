#include "write/local_csv_rows.h"

#include "time/instant.h"
#include "write/csv_field.h"

namespace kelvane {

std::string_view LocalCsvRows::rows(const TrackPoints &points)
{
    text.clear();
    for (int i = 0; i < points.size(); ++i) {
        const TrackPoint p = points.at(i);
        if (!p.hasPosition)
            continue;
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
    return text;
}

} // namespace kelvane
