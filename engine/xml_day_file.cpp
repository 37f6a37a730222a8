#include "day_file_writers.h"

namespace kelvane {

void WriteXmlDayFile(std::string &out, std::string_view XmlDeclLine, std::string_view HistoryLine,
                     const RunLines &lines)
{
    out += XmlDeclLine;
    out += kLineEnd;
    out += kLineEnd;
    out += HistoryLine;
    out += kLineEnd;
    out += lines.text();
    out += "</History>";
    out += kLineEnd;
}

} // namespace kelvane
