#include "input/archive_input.h"

#include "input/leading_bytes.h"
#include "input/look_ahead_source.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <cerrno>
#include <utility>

namespace kelvane {

namespace {

// What is read from the source at a time.
constexpr std::size_t kReadBytes = 256 << 10;
// What an input may unpack to before its bytes are weighed against the
// bytes it was unpacked from, and the most a byte of those may give.
constexpr qint64 kBombFloor = qint64(1) << 30;
constexpr qint64 kBombRatio = 1000;
// Damaged headers in a row after which an archive is taken as beyond repair
// (a tar archive's are read a 512-byte block at a time).
constexpr int kMostFailuresInARow = 1 << 16;

// Archivers keep their own files beside the user's: ".DS_Store",
// "__MACOSX/", "._name"; a user's hidden files are no inputs either.
bool isHidden(const QString &path)
{
    for (const QStringView part : QStringView(path).tokenize(u'/')) {
        if (part == u"__MACOSX")
            return true;
        if (part.startsWith(u'.') && part != u"." && part != u"..")
            return true;
    }
    return false;
}

// An entry's name: UTF-8 where it is UTF-8, any other byte written as \xNN.
// A name that claims UTF-8 but is not libarchive does not hand over at all:
// the entry is then named by its place.
QString pathOf(archive_entry *entry, int place)
{
    if (const char *utf8 = archive_entry_pathname_utf8(entry))
        return QString::fromUtf8(utf8);
    const char *path = archive_entry_pathname(entry);
    if (!path || !*path)
        return QStringLiteral("entry %1 (its name is not UTF-8)").arg(place);
    const QByteArrayView bytes(path);
    QString shown;
    for (qsizetype i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        const qsizetype length = lead < 0x80                   ? 1
                                 : lead >= 0xc2 && lead < 0xe0 ? 2
                                 : lead >= 0xe0 && lead < 0xf0 ? 3
                                 : lead >= 0xf0 && lead < 0xf5 ? 4
                                                               : 0;
        const QByteArrayView character = bytes.sliced(i, std::min(length, bytes.size() - i));
        if (length > 0 && character.size() == length && character.isValidUtf8()) {
            shown += QString::fromUtf8(character);
            i += length;
        } else {
            shown += QStringLiteral("\\x%1").arg(lead, 2, 16, QLatin1Char('0'));
            ++i;
        }
    }
    return shown;
}

} // namespace

QString tooDeepReason(const QString &name)
{
    return QStringLiteral("%1: an archive or compressed file inside %2 others, deeper than "
                          "Kelvane unpacks")
        .arg(name)
        .arg(kMostPackedLevels);
}

bool isPacked(std::string_view head)
{
    for (const KnownFile &file : knownFiles())
        if (file.kind == LeadingKind::Packed && file.lead.begins(head))
            return true;
    return false;
}

ArchiveInput::ArchiveInput(ByteSource &source, QString name, std::size_t levels,
                           std::function<qint64()> packedBytes)
    : source(source), name(std::move(name)), reader(archive_read_new()), entrySource(*this),
      levelsAllowed(levels), packedBytes(std::move(packedBytes)),
      // The first bytes were read ahead to tell what it is.
      packedAtStart(std::max<qint64>(this->packedBytes() - qint64(kPackedHeadBytes), 0))
{
    archive_read_support_filter_gzip(reader);
    archive_read_support_filter_bzip2(reader);
    archive_read_support_filter_xz(reader);
    archive_read_support_filter_zstd(reader);
    archive_read_support_format_tar(reader);
    // The zip reader that needs no seeking: it reads each entry where it
    // stands, so that the archive is read once, from a pipe too.
    archive_read_support_format_zip_streamable(reader);
    // What is compressed but no archive: the one file it holds.
    archive_read_support_format_raw(reader);
}

ArchiveInput::~ArchiveInput()
{
    archive_read_free(reader);
}

// What failed and libarchive's reason; the source's own error when it could
// not be read, which names the input.
QString ArchiveInput::failure(const QString &what) const
{
    if (sourceFailed)
        return source.errorString();
    const char *reason = archive_error_string(reader);
    // Some of libarchive's reasons end in a line break.
    return QStringLiteral("%1: %2").arg(what, reason ? QString::fromLocal8Bit(reason).trimmed()
                                                     : QStringLiteral("damaged"));
}

// Reads the next part of the source for libarchive.
qint64 ArchiveInput::fill(const void **bytes)
{
    if (buffer.empty())
        buffer.resize(kReadBytes);
    const qint64 got = source.read(buffer.data(), qint64(buffer.size()));
    if (got < 0) {
        sourceFailed = true;
        archive_set_error(reader, EIO, "%s", qUtf8Printable(source.errorString()));
        return -1;
    }
    *bytes = buffer.data();
    return got;
}

bool ArchiveInput::heldZeros() const
{
    return heldNothing() &&
           (archive_format(reader) & ARCHIVE_FORMAT_BASE_MASK) == ARCHIVE_FORMAT_TAR;
}

bool ArchiveInput::isCompressedFile() const
{
    return opened && archive_format(reader) == ARCHIVE_FORMAT_RAW;
}

bool ArchiveInput::open()
{
    opened = true;
    const auto read = [](archive *, void *self, const void **bytes) -> la_ssize_t {
        return la_ssize_t(static_cast<ArchiveInput *>(self)->fill(bytes));
    };
    if (archive_read_open(reader, this, nullptr, read, nullptr) == ARCHIVE_OK)
        return !tooDeep();
    ended = true;
    error = failure(name);
    return false;
}

// libarchive unpacks compressions stacked in one another by itself, as deep
// as they go: each counts as a level, the archive read from the innermost
// one none of its own.
bool ArchiveInput::tooDeep()
{
    std::size_t compressions = 0;
    for (int i = 0; i < archive_filter_count(reader); ++i)
        compressions += archive_filter_code(reader, i) != ARCHIVE_FILTER_NONE;
    levelsUsed = std::max<std::size_t>(compressions, 1);
    if (levelsUsed <= levelsAllowed)
        return false;
    ended = true;
    error = tooDeepReason(name);
    return true;
}

bool ArchiveInput::isBomb()
{
    if (unpacked <= kBombFloor)
        return false;
    const qint64 packed = std::max<qint64>(packedBytes() - packedAtStart, 1);
    if (unpacked / kBombRatio <= packed)
        return false;
    ended = true;
    error = QStringLiteral("%1: a decompression bomb (over %2 GiB unpacked from %3 bytes); not "
                           "read further")
                .arg(name)
                .arg(unpacked >> 30)
                .arg(packed);
    return true;
}

ArchiveInput::Step ArchiveInput::next()
{
    if (!opened && !open())
        return Step::Failed;
    while (!ended) {
        const int result =
            pending ? *std::exchange(pending, {}) : archive_read_next_header(reader, &header);
        if (result == ARCHIVE_EOF)
            break;
        if (result != ARCHIVE_OK && result != ARCHIVE_WARN) {
            // libarchive reads on past a damaged header to the next good one
            // (ARCHIVE_RETRY), a block at a time: the damage is told once.
            const bool told = result == ARCHIVE_RETRY && failuresInARow > 0;
            ended = result == ARCHIVE_FATAL || ++failuresInARow == kMostFailuresInARow;
            if (told && !ended)
                continue;
            error = failure(
                lastEntry.isEmpty() ? name : QStringLiteral("%1: after %2").arg(name, lastEntry));
            if (ended)
                error += QStringLiteral("; the rest of it cannot be read");
            return Step::Failed;
        }
        ++headersRead;
        if (archive_format(reader) == ARCHIVE_FORMAT_RAW) {
            // Neither an archive nor compressed as libarchive knows it: read
            // as it is, it would look packed again and again.
            if (archive_filter_code(reader, 0) == ARCHIVE_FILTER_NONE) {
                ended = true;
                error = QStringLiteral("%1: starts as a compressed file or an archive does, but "
                                       "cannot be read as one")
                            .arg(name);
                return Step::Failed;
            }
            entrySource.label = name;
            entrySource.bytes = -1;
        } else {
            lastEntry = pathOf(header, headersRead);
            if (archive_entry_filetype(header) != AE_IFREG || archive_entry_hardlink(header) ||
                isHidden(lastEntry))
                continue;
            entrySource.label = QStringLiteral("%1: %2").arg(name, lastEntry);
            entrySource.bytes = archive_entry_size_is_set(header) ? archive_entry_size(header) : -1;
        }
        entrySource.error.clear();
        entrySource.ordinal = entriesHandedOut++;
        failuresInARow = 0;
        return Step::Entry;
    }
    ended = true;
    return Step::End;
}

// After an entry that could not be read, whether the archive can be read on
// depends on where it broke: a zip entry whose size is known is read past, a
// compressed stream that breaks takes all that follows with it (a truncated
// .tar.gz). The next header is read now, so that the entry's error can say so.
void ArchiveInput::readPastFailure()
{
    pending = archive_read_next_header(reader, &header);
    if (*pending == ARCHIVE_FATAL) {
        ended = true;
        if (archive_format(reader) != ARCHIVE_FORMAT_RAW)
            entrySource.error += QStringLiteral("; the entries after it cannot be read");
    }
}

std::unique_ptr<ByteSource> ArchiveInput::readEntryAgain(int ordinal)
{
    if (!again || againAt >= ordinal) {
        again.reset();
        againAt = -1;
        againSource = source.readAgain();
        if (!againSource)
            return nullptr;
        // Bounded as this reading is: it only goes where this one went.
        again = std::make_unique<ArchiveInput>(*againSource, name, levelsAllowed, packedBytes);
    }
    while (againAt < ordinal) {
        switch (again->next()) {
        case Step::Entry:
            againAt = again->entrySource.ordinal;
            break;
        case Step::Failed: // it goes on where the archive allows, as this reading did
            break;
        case Step::End:
            again.reset();
            return nullptr;
        }
    }
    // An archive changed since it was read is not taken for the same.
    if (againAt != ordinal || again->entrySource.label != entrySource.label)
        return nullptr;
    return std::make_unique<LookAheadSource>(again->entry(), entrySource.label);
}

qint64 ArchiveInput::Entry::read(char *into, qint64 size)
{
    if (!error.isEmpty())
        return -1;
    const la_ssize_t got = archive_read_data(archive.reader, into, std::size_t(size));
    if (got >= 0) {
        archive.unpacked += got;
        if (!archive.isBomb())
            return got;
        error = archive.error;
        return -1;
    }
    error = archive.failure(label);
    archive.readPastFailure();
    return -1;
}

} // namespace kelvane
