#pragma once

// What the FIT decoder reads from an input, as lines of text, and the checks
// that hold for every input, shared by the fuzz target and the tests.

#include <QByteArrayView>
#include <QString>

namespace kelvane {

// One line an event, in the order they come: "file 0", "record@40 t=1000000030 hr=120",
// "warning crcWrong@58", "end 0-60". The
// input is handed in `piece` bytes at a time, more each time the decoder
// waits for them (0: all at once).
QString FitDecodingLog(QByteArrayView input, qsizetype piece = 0);

// Decodes input at once and in pieces of several sizes and checks what a
// reader relies on: the same events every time, every file that starts
// ends, files lie in order within the input, messages within their file.
// Returns an empty text when all holds, otherwise what was wrong.
QString CheckFitDecoding(QByteArrayView input);

} // namespace kelvane
