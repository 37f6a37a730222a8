#pragma once

#include "input/byte_source.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>
#include <vector>

struct stat;

namespace kelvane {

class ArchiveInput;
class FileSource;
class LookAheadSource;

// The file on disk an input is read from (the archive's, for its entries),
// so that no day file is written over it. Empty for standard input and
// other files that are not regular files.
struct InputFile {
    QString path;
    quint64 device = 0;
    quint64 inode = 0;
    bool isEmpty() const { return path.isEmpty(); }
};

// One input of a conversion: a file, standard input, an archive's entry, or
// what a compressed file holds.
struct Input {
    QString name;                 // for messages: "ride.gpx.gz", "export.zip: activities/55.fit.gz"
    ByteSource *source = nullptr; // null when it cannot be read: then `error` names it and says why
    QString error;
    InputFile file;
    // Named by the caller (or what a compressed file so named holds), rather
    // than found in a folder or an archive: a file of another kind found
    // beside GPS files is passed over, one named is a mistake to report.
    bool named = true;
    // It cannot be read as it is of another kind (an archive that holds no
    // files): found in a folder or an archive, it is passed over.
    bool notGps = false;
};

// The inputs a conversion reads, in order, from the names it is given:
// - a file, read as it is, or through its compression, or entry by entry
//   when it is an archive (compressed or not), all told by its first bytes;
// - a folder: its files and subfolders, in the byte order of their names
//   (a subfolder where its name falls), passing over hidden ones (a name
//   starting with "."), links to folders (a link to "/" or ".." would take
//   in the whole system; a link to a file is read as the file), what is
//   neither a file nor a folder (a FIFO would wait forever), and the output
//   folder;
// - "-": standard input, once, compressed or an archive too.
//
// An archive inside an archive, or a compressed file inside one (Strava's
// activities/NNN.fit.gz), is read through once more; one level deeper is
// refused, as no export packs so deep and each level holds a decompressor's
// memory (a zip that holds itself would never end). A file compressed twice
// over (.gz.gz) takes both levels. What unpacks to more than a thousand
// times its bytes, beyond 1 GiB, stops as a decompression bomb.
//
// Folders are walked and files looked up when the list is made, so that the
// bytes of all inputs are known before the first is read.
class InputList {
  public:
    InputList(const QStringList &names, const QString &outputFolder,
              const std::atomic_bool *stop = nullptr);
    ~InputList();
    InputList(const InputList &) = delete;
    InputList &operator=(const InputList &) = delete;

    // The next input, null after the last; valid until the next call, which
    // passes over what is left of it. An input that cannot be read comes
    // with its error, and the list goes on with the next.
    const Input *next();

    // The regular files to read, known before the first is read: none of
    // them may be written over, by the day files of an earlier input either.
    std::vector<InputFile> files() const;
    // The sizes of the files to read, added up; standard input and pipes are
    // not known beforehand and not counted.
    qint64 totalBytes() const { return total; }
    // The bytes of those files read so far: a compressed file's compressed
    // bytes, the files done whole (read to their end or not).
    qint64 bytesRead() const;
    // What the user should know of the folders walked: the links to folders
    // passed over, one line for each folder named.
    QStringList notices() const { return folderNotices; }

  private:
    // A file or standard input found when the list was made.
    struct Planned {
        QString path;
        QString name;
        qint64 size = -1;
        InputFile file;
        QString error;
        bool named = true;
    };
    void plan(const QString &name);
    void planFolder(const QString &path);
    void planFile(const QString &path, const QString &name, const struct stat &info, bool named);
    void planError(const QString &name, const QString &error, bool named = true);
    void closeFile();
    bool openFile(const Planned &next, QString &error);
    const Input *lookAt(ByteSource &source, const QString &name, bool named);
    const Input *handOut(const QString &name, ByteSource *source, bool named,
                         const QString &error = {}, bool notGps = false);

    std::vector<Planned> planned;
    std::size_t nextPlanned = 0;
    quint64 outputDevice = 0, outputInode = 0;
    bool hasOutputFolder = false;
    std::vector<std::pair<quint64, quint64>> foldersWalked;
    int linksPassedOver = 0; // in the folder named being walked
    QStringList folderNotices;
    bool standardInputPlanned = false;
    const std::atomic_bool *stop;

    qint64 total = 0;
    qint64 done = 0; // the bytes of the files done
    std::unique_ptr<FileSource> file;
    qint64 fileSize = -1;
    InputFile fileIdentity;
    // looks[i] is the file (i == 0) or an entry of archives[i - 1], looked at;
    // archives[i] reads looks[i]. One more look than archives: the input
    // handed out last.
    std::vector<std::unique_ptr<LookAheadSource>> looks;
    std::vector<std::unique_ptr<ArchiveInput>> archives;
    std::vector<bool> archivesNamed;   // whether archives[i] was named by the caller
    std::unique_ptr<ByteSource> zeros; // what an archive of nothing but zeros is read as
    Input current;
};

} // namespace kelvane
