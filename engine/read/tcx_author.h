#pragma once

#include "input/chunk_reader.h"

#include <string>

namespace kelvane {

// The Author element of a Training Center file: the program that wrote it.
// It stands after the activities, yet every day file repeats it, so it is
// looked for from the end of the file before the activities are read.
struct TcxAuthor {
    std::string element;     // from "<Author" through its end tag, as written
    std::string indentation; // the blanks before it on its line
    bool endRead = true;     // false: the input's end could not be read first
};

// Looks for the Author element in the last stretch of the input: the last one
// there that is a whole element followed by nothing but the root's end (an
// Extensions element, comments and blanks allowed). An input of a few MB
// (within the bound of a run) is read into the buffer whole; a longer
// compressed file or archive's entry is read through once more to reach its
// end. Empty when there is none, when it cannot be told from something that
// only looks like one, or when the input's end cannot be read first (a long
// input from a pipe): the day files then have no Author, which the format
// allows.
TcxAuthor findTcxAuthor(ChunkReader &input, qint64 largestRun);

} // namespace kelvane
