#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <functional>
#include <initializer_list>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

namespace kelvane {

// Saves one run's day files so that they appear together, each complete, or
// not at all. Every file is first written without a name (or under a hidden
// temporary name where the system cannot do that), and only when all of them
// are written do they get their names. A new file has the mode 0666 less the
// umask. A file that already exists is replaced in one step, by a rename, and
// keeps its permission bits (never set-ID or sticky bits; a link in its place
// lends nothing of its target's); until the run's last file has its name, the
// replaced files are kept aside under hidden names, and put back if the run
// cannot be saved whole.
//
// Nothing is synced to disk: a conversion can always be repeated from its
// inputs, and syncing each of thousands of small files would cost far
// more than the conversion itself.
//
// The system's own calls are made in day_file_output_linux.cpp, or with the
// build option KELVANE_PORTABLE_OUTPUT in day_file_output_portable.cpp, which
// always takes temporary names.
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
    // file name in the folder). A file made in parts (not `last`) takes the
    // next ones with addMore(), until its last.
    bool add(const QString &name, std::span<const std::string_view> pieces, bool last = true);
    bool addMore(std::span<const std::string_view> pieces, bool last);
    // The file being made in parts gets another name at commit().
    void renameLast(const QString &name)
    {
        if (!pending.empty())
            pending.back().name = name;
    }
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
    // No commit may replace these files (the inputs of the conversion).
    void protect(const QStringList &paths);
    // Removes the hidden files that a save stopped by a crash or a kill left
    // in folder: temporary files and files kept aside. everyFileOurs: the
    // folder is the program's own (a library's .kelvane), every such file in
    // it is one of ours.
    static void removeLeftovers(const QString &folder, bool everyFileOurs = false);

    QString error() const { return message; }

  private:
    struct Pending {
        QString name;
        QByteArray temporary;        // empty while the file has no name at all
        int fd = -1;                 // open while it has no name at all
        std::FILE *stream = nullptr; // open while it is being written, where fd is not used
        bool replaces = false;       // a file of that name exists and is replaced
        bool linked = false;         // got its name in this commit, as a new file
        QByteArray keptAside;        // the hidden name of the file it replaces
        bool replaced = false;       // renamed over the file it replaces, in this commit
        bool keepsMode = false;      // takes the permissions of the file it replaces
        unsigned mode = 0;           // those permissions
    };
    // What stands at a day file's name.
    struct Target {
        bool isFolder = false;
        bool isProtected = false;
        bool isFile = false; // a file itself, not a link or a device
        unsigned mode = 0;   // its permission bits, without set-ID and sticky bits
    };

    // The steps of commit().
    bool nameNewFiles();
    bool checkTargets();
    bool keepReplacedFilesAside();
    bool replaceExistingFiles();
    void dropFilesKeptAside();

    // Tries hidden names for the day file `name` until attempt() succeeds or
    // fails for another reason than the name being taken; `taken` gets the
    // name that worked.
    bool takeHiddenName(const QString &name, const char *suffix, QByteArray &taken,
                        const std::function<bool(const QByteArray &name, bool &taken)> &attempt);

    // The system's calls. Each sets `reason` when it fails.
    bool openFolder();
    bool createFile(Pending &file);
    bool writeFile(Pending &file, std::span<const std::string_view> pieces, bool last);
    bool linkUnnamed(Pending &file, const QByteArray &name, bool &taken);
    bool renameOver(const QByteArray &from, const QString &name);
    bool inspect(const QString &name, Target &target);
    bool linkExisting(const QString &name, const QByteArray &to, bool &taken);
    bool keepMode(Pending &file);
    bool rememberProtected(const QString &path);
    void removeName(const QByteArray &name);
    void closeFile(Pending &file);
    void closeFolder();

    bool fail(const QString &name);
    bool fail(const QString &name, const QString &why);
    void undo();
    QString pathOf(const QString &name) const;
    QByteArray encodedPathOf(const QByteArray &name) const;

    QString folder;
    int folderFd = -1;
    QStringList protectedPaths;                                                  // those that exist
    std::vector<std::pair<unsigned long long, unsigned long long>> protectedIds; // device, inode
    bool unnamedFiles;     // create files without a name while the system can
    bool linkByDescriptor; // name them by descriptor while the system allows it
    std::vector<Pending> pending;
    quint32 serial;
    QString reason; // of the system call that failed last
    QString message;
};

} // namespace kelvane
