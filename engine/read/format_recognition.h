#pragma once

#include "input/input_buffer.h"
#include "run/run_format.h"

#include <QString>

namespace kelvane {

// What an input's first bytes say it holds.
struct RecognisedFormat {
    RunFormat format = RunFormat::History;
    bool utf16 = false; // the text is UTF-16 (by its byte order mark or its first "<")
    // Not empty when no reader takes the input: a file of another kind (an
    // image, a 7-Zip archive, binary data), XML that breaks before its root
    // element, or a read error. Names the input and says why.
    QString refusal;
    bool notGps = false;    // refused as a file of another kind (an image, binary data)
    QString kinds;          // that kind in the plural ("PNG images")
    bool plainText = false; // text that is not XML (or nothing), taken for a history file
};

// Tells an input's format by its content, never by its name: the leading
// bytes of a binary format, else the root element of XML (after its
// declaration, comments and DOCTYPE). Text that is not XML at all is taken
// for a history file, whose reader then says what it missed.
//
// The bytes looked at are read into the buffer and stay there, from the
// input's first byte on, so the chosen reader reads on from them.
RecognisedFormat recogniseFormat(InputBuffer &input);

} // namespace kelvane
