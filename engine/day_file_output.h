#pragma once

#include <QString>

#include <string_view>
#include <vector>

namespace kelvane {

// Saves one run's day files so that they appear together, each complete, or
// not at all: every file is written to a temporary file beside its target
// first, and only when all of them were written are they renamed into place.
// A file that already exists is replaced.
//
// Nothing is synced to disk: a conversion can always be repeated from its
// history file, and syncing each of thousands of small files would cost far
// more than the conversion itself.
class DayFileOutput {
public:
    explicit DayFileOutput(QString folder);
    ~DayFileOutput();

    // Writes bytes under a temporary name beside `name` (a bare file name).
    bool add(const QString &name, std::string_view bytes);
    // Renames every added file into place. On failure of add() or commit(),
    // error() names the file and the reason, and no temporary file is left.
    bool commit();
    // Throws away what was added since the last commit.
    void discard();

    QString error() const { return message; }
    QString pathOf(const QString &name) const;

private:
    struct Pending {
        QString path;      // where the file belongs
        QString temporary; // where it was written
    };

    QString folder;
    std::vector<Pending> pending;
    quint32 serial; // makes temporary names unique in this process
    QString message;
};

} // namespace kelvane
