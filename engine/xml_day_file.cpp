#include "day_file_writers.h"

namespace kelvane {

std::array<std::string_view, 3> WriteXmlDayFile(std::string &head, std::string_view XmlDeclLine,
                                                std::string_view HistoryLine, const RunLines &lines)
{
    head.clear();
    head += XmlDeclLine;
    head += kLineEnd;
    head += kLineEnd;
    head += HistoryLine;
    head += kLineEnd;
    return {head, lines.text(), "</History>\r\n"};
}

} // namespace kelvane
