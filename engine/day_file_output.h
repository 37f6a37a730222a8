#pragma once

#include <QString>

#include <memory>
#include <string_view>
#include <vector>

class QSaveFile;

namespace kelvane {

// Saves one run's day files so that they appear together, each complete, or
// not at all: every file is written to a temporary file beside its target
// first, and only when all of them were written are they moved into place.
// A file that already exists is replaced.
class DayFileOutput {
public:
    explicit DayFileOutput(QString folder);
    ~DayFileOutput();

    // Writes bytes under the temporary name of `name` (a bare file name).
    bool add(const QString &name, std::string_view bytes);
    // Moves every added file into place. On failure of add() or commit(),
    // error() names the file and the reason, and nothing added since the last
    // commit appears.
    bool commit();
    // Throws away what was added since the last commit.
    void discard();

    QString error() const { return message; }
    QString pathOf(const QString &name) const;

private:
    QString folder;
    std::vector<std::unique_ptr<QSaveFile>> pending;
    QString message;
};

} // namespace kelvane
