#include "day_file_writers.h"

namespace kelvane {

void WriteXmlDayFile(std::vector<std::string_view> &pieces, std::string &head,
                     std::string_view XmlDeclLine, std::string_view HistoryLine,
                     const RunLines &lines, const MarkedBytes &marked)
{
    head.clear();
    head += XmlDeclLine;
    head += kLineEnd;
    head += kLineEnd;
    head += HistoryLine;
    head += kLineEnd;
    pieces.clear();
    pieces.push_back(head);
    lines.appendTo(pieces, marked);
    pieces.push_back("</History>\r\n");
}

} // namespace kelvane
