#pragma once

#include <QString>

#include <initializer_list>
#include <span>
#include <string_view>
#include <vector>

#include <sys/uio.h>

namespace kelvane {

// Saves one run's day files so that they appear together, each complete, or
// not at all. Every file is first written without a name (or under a hidden
// temporary name where the file system cannot do that), and only when all of
// them are written do they get their names. A file that already exists is
// replaced in one step, by a rename.
//
// Nothing is synced to disk: a conversion can always be repeated from its
// history file, and syncing each of thousands of small files would cost far
// more than the conversion itself.
class DayFileOutput {
  public:
    // How a file is created before it gets its name. The first way the system
    // allows is used; the later ones can be chosen for tests.
    enum class Naming {
        UnnamedByDescriptor, // without a name, linked by its descriptor
        UnnamedThroughProc,  // without a name, linked through /proc/self/fd
        TemporaryName,       // under a hidden temporary name, then renamed
    };
    explicit DayFileOutput(QString folder, Naming naming = Naming::UnnamedByDescriptor);
    ~DayFileOutput();
    DayFileOutput(const DayFileOutput &) = delete;
    DayFileOutput &operator=(const DayFileOutput &) = delete;

    // Writes the pieces, one after another, as the future file `name` (a bare
    // file name in the folder).
    bool add(const QString &name, std::span<const std::string_view> pieces);
    bool add(const QString &name, std::initializer_list<std::string_view> pieces)
    {
        return add(name, std::span(pieces.begin(), pieces.size()));
    }
    // Gives every added file its name. On failure of add() or commit(),
    // error() names the file and the reason, no file added since the last
    // commit appears, and no temporary file is left.
    bool commit();
    // Throws away what was added since the last commit.
    void discard();

    QString error() const { return message; }

  private:
    struct Pending {
        QString name;
        int fd = -1;
        QByteArray temporary;  // empty while the file has no name at all
        bool replaces = false; // a file of that name exists and is replaced
        bool linked = false;   // got its name in this commit, as a new file
    };

    bool openFolder();
    int createUnnamed();
    bool linkUnnamed(int fd, const char *name);
    QByteArray temporaryName(const QString &name);
    int createTemporary(const QString &name, QByteArray &temporary);
    bool fail(const QString &name, int error);
    bool fail(const QString &name, const QString &reason);
    void undo();
    QString pathOf(const QString &name) const;

    QString folder;
    int folderFd = -1;
    bool unnamedFiles;     // create files without a name while the file system can
    bool linkByDescriptor; // name them by descriptor while the system allows it
    std::vector<Pending> pending;
    std::vector<iovec> parts; // the pieces of the file being written
    quint32 serial;
    QString message;
};

} // namespace kelvane
