#pragma once

#include <QString>

#include <string>

namespace kelvane {

// What the start of a file says about its format.
struct RootElement {
    std::string localName; // of the first element, without its prefix; empty when none is found
    bool utf16 = false;    // the text is UTF-16 (by its byte order mark or its first bytes)
};

// Looks at the first bytes of a file (its prolog of declaration, comments
// and DOCTYPE, up to 64 KiB) for the name of its root element. It parses
// nothing beyond that and checks nothing: the reader chosen by the name does.
RootElement rootElementOf(const QString &path);

} // namespace kelvane
