#pragma once

#include "input/byte_source.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

struct archive;
struct archive_entry;

namespace kelvane {

// The bytes isPacked() needs: a tar archive is known at byte 257.
inline constexpr std::size_t kPackedHeadBytes = 262;

// Archives and compressed files read inside one another: an archive and the
// compressed files (or archives) it holds.
inline constexpr std::size_t kMostPackedLevels = 2;
// Why an input packed deeper than that is refused.
QString tooDeepReason(const QString &name);

// Whether an input's first bytes are those of a compressed file (gzip,
// bzip2, xz, zstd) or an archive (zip, tar), which ArchiveInput reads.
bool isPacked(std::string_view head);

// A compressed file or an archive (a compressed one too: .tar.gz), read with
// libarchive as its bytes come from its source: streamed, read once, with no
// temporary file, in memory that does not grow with the input.
//
// A compressed file has one entry, the file it holds, under the input's own
// name. An archive has its files as entries, named "export.zip:
// activities/55.fit.gz"; folders, links and hidden files (a path component
// starting with "."; "__MACOSX") are passed over.
//
// Two bounds keep a small input from unpacking without end. Compressions
// stacked in one another (a .gz.gz) count a level each, an archive with its
// compression (a .tar.gz) one; more than `levels` are refused (those left
// of kMostPackedLevels by the archives it is read from). And once what
// it unpacked passes 1 GiB and a thousand times the bytes it took from the
// file on disk (`packedBytes`, counted from when it was opened), it stops as
// a decompression bomb; no real export comes near either.
class ArchiveInput {
  public:
    ArchiveInput(ByteSource &source, QString name, std::size_t levels,
                 std::function<qint64()> packedBytes);
    ~ArchiveInput();
    ArchiveInput(const ArchiveInput &) = delete;
    ArchiveInput &operator=(const ArchiveInput &) = delete;

    enum class Step { Entry, End, Failed };
    // Moves to the next entry; what is left of the one before is read past.
    // Failed: errorString() says why, and the next call moves on where the
    // archive allows it, or ends.
    Step next();
    // The entry moved to: its bytes and its name, until the next call.
    ByteSource &entry() { return entrySource; }
    // Whether it is a compressed file rather than an archive; known once
    // next() has read what it holds.
    bool isCompressedFile() const;
    // What it held, known at its end: no entry at all (an empty zip), or
    // nothing but zeros (a gzip of zeros, which the tar reader takes for an
    // archive's end).
    bool heldNothing() const { return headersRead == 0 && error.isEmpty(); }
    bool heldZeros() const;
    // The levels it unpacks, known once next() has been called.
    std::size_t levels() const { return levelsUsed; }
    const QString &errorString() const { return error; }

  private:
    // The bytes of the entry at hand.
    class Entry final : public ByteSource {
      public:
        explicit Entry(ArchiveInput &archive) : archive(archive) {}
        qint64 read(char *into, qint64 size) override;
        QString errorString() const override { return error; }
        QString name() const override { return label; }
        qint64 size() const override { return bytes; }
        // The entry read once more, in a second reading of the archive.
        std::unique_ptr<ByteSource> readAgain() override { return archive.readEntryAgain(ordinal); }

        QString label;
        qint64 bytes = -1;
        QString error;
        int ordinal = 0; // of the entries handed out

      private:
        ArchiveInput &archive;
    };

    bool open();
    bool tooDeep();
    bool isBomb();
    void readPastFailure();
    std::unique_ptr<ByteSource> readEntryAgain(int ordinal);
    qint64 fill(const void **bytes);
    QString failure(const QString &what) const;

    ByteSource &source;
    const QString name;
    struct archive *reader;
    std::vector<char> buffer;
    Entry entrySource;
    archive_entry *header = nullptr;
    std::optional<int> pending; // the result of reading the next header ahead
    QString lastEntry;          // the name of the entry read last, for what follows it
    bool opened = false;
    bool sourceFailed = false;
    int failuresInARow = 0;
    int headersRead = 0;
    bool ended = false; // nothing more can be read
    QString error;
    std::size_t levelsAllowed;
    std::size_t levelsUsed = 1;
    std::function<qint64()> packedBytes;
    qint64 packedAtStart;
    qint64 unpacked = 0; // the bytes of all entries read so far
    int entriesHandedOut = 0;
    // The second reading of the archive that readEntryAgain() reads entries
    // from. It moves on as this one does, entry by entry, so that an archive
    // is read twice at most, however many of its entries are read again.
    std::unique_ptr<ByteSource> againSource;
    std::unique_ptr<ArchiveInput> again;
    int againAt = -1; // the entry it stands at
};

} // namespace kelvane
