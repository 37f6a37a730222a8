#pragma once

#include <QString>

#include <string_view>

namespace kelvane {

// Bytes of an input file as a message may show them: cut to at most `limit`
// bytes, read as UTF-8 where they are valid UTF-8 and as Latin-1 otherwise,
// with every control character written as \xNN (C1 controls such as U+009B
// included) and every character that turns the direction of text as \uNNNN
// (U+202E), so that no input can move a terminal's cursor, clear its screen,
// end a message early (a NUL) or show a name reversed.
QString messageText(std::string_view bytes, std::size_t limit = 40);

// The same for text already decoded (a path, a message of the system's).
QString escapeControlCharacters(const QString &text);

// "1 run", "3 runs": a count and the word for it.
QString counted(qint64 count, const char *one, const char *many);

} // namespace kelvane
