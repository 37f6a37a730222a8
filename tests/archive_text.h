#pragma once

// Builds archives and compressed files in memory for tests, with libarchive.

#include <archive.h>
#include <archive_entry.h>

#include <QByteArray>
#include <QList>

namespace archive_text {

// An archive's entry; a path ending in "/" is a folder.
struct Entry {
    const char *path;
    QByteArray bytes;
};

// An archive of the entries in memory, or with ARCHIVE_FORMAT_RAW the one
// entry compressed by the filter.
inline QByteArray Packed(int format, int filter, const QList<Entry> &entries)
{
    qsizetype size = 1 << 16;
    for (const Entry &entry : entries)
        size += 2 * entry.bytes.size() + 1024;
    QByteArray out(size, '\0');
    std::size_t used = 0;
    archive *writer = archive_write_new();
    archive_write_set_format(writer, format);
    archive_write_add_filter(writer, filter);
    archive_write_open_memory(writer, out.data(), std::size_t(out.size()), &used);
    for (const Entry &entry : entries) {
        archive_entry *header = archive_entry_new();
        const bool folder = QByteArray(entry.path).endsWith('/');
        archive_entry_set_pathname(header, entry.path);
        archive_entry_set_filetype(header, folder ? AE_IFDIR : AE_IFREG);
        archive_entry_set_perm(header, 0644);
        archive_entry_set_size(header, entry.bytes.size());
        archive_write_header(writer, header);
        archive_write_data(writer, entry.bytes.constData(), std::size_t(entry.bytes.size()));
        archive_entry_free(header);
    }
    archive_write_close(writer);
    archive_write_free(writer);
    out.truncate(qsizetype(used));
    return out;
}

inline QByteArray Gzipped(const QByteArray &bytes)
{
    return Packed(ARCHIVE_FORMAT_RAW, ARCHIVE_FILTER_GZIP, {{"data", bytes}});
}

inline QByteArray Zipped(const QList<Entry> &entries)
{
    return Packed(ARCHIVE_FORMAT_ZIP, ARCHIVE_FILTER_NONE, entries);
}

} // namespace archive_text
