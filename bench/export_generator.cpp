#include "export_generator.h"

#include <archive.h>
#include <archive_entry.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <string>

namespace {

la_ssize_t Append(archive *, void *out, const void *bytes, std::size_t size)
{
    static_cast<std::string *>(out)->append(static_cast<const char *>(bytes), size);
    return la_ssize_t(size);
}

// The bytes as a gzip file holds them.
std::string Gzipped(const QByteArray &bytes)
{
    std::string out;
    archive *writer = archive_write_new();
    archive_write_set_format_raw(writer);
    archive_write_add_filter_gzip(writer);
    archive_write_open(writer, &out, nullptr, Append, nullptr);
    archive_entry *header = archive_entry_new();
    archive_entry_set_filetype(header, AE_IFREG);
    archive_write_header(writer, header);
    archive_write_data(writer, bytes.constData(), std::size_t(bytes.size()));
    archive_entry_free(header);
    archive_write_free(writer);
    return out;
}

} // namespace

GeneratedActivities GenerateActivities(const QString &folder, std::span<const ExportKind> kinds,
                                       int count)
{
    GeneratedActivities result;
    if (!QDir().mkpath(folder)) {
        result.error = QStringLiteral("Cannot create \"%1\"").arg(folder);
        return result;
    }
    for (int i = 0; i < count; ++i) {
        const ExportKind &kind = kinds[std::size_t(i) % kinds.size()];
        const QString path = QDir(folder).filePath(
            QStringLiteral("%1.%2").arg(i + 1).arg(QLatin1StringView(kind.extension)));
        if (!QFileInfo::exists(path)) {
            HistoryShape shape = kind.shape;
            shape.seed += std::uint64_t(i);
            shape.daysLater = i - count; // the last on the generator's own day
            if (const GeneratedHistory made = kind.generate(path, shape); !made.error.isEmpty()) {
                result.error = made.error;
                return result;
            }
        }
        const qint64 size = QFileInfo(path).size();
        result.files << path;
        result.bytes += size;
        result.largestBytes = std::max(result.largestBytes, size);
    }
    return result;
}

QString WriteExport(const QString &zipPath, const QStringList &files)
{
    QSaveFile zip(zipPath);
    if (!zip.open(QIODevice::WriteOnly))
        return QStringLiteral("Cannot write \"%1\": %2").arg(zipPath, zip.errorString());
    std::string out;
    archive *writer = archive_write_new();
    archive_write_set_format_zip(writer);
    // The entries are gzipped already, as in the exports: stored as they are.
    archive_write_set_options(writer, "zip:compression=store");
    archive_write_open(writer, &out, nullptr, Append, nullptr);
    QString error;
    for (qsizetype i = 0; i < files.size(); ++i) {
        const QString &path = files[i];
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            error = QStringLiteral("Cannot read \"%1\": %2").arg(path, file.errorString());
            break;
        }
        const std::string packed = Gzipped(file.readAll());
        archive_entry *header = archive_entry_new();
        archive_entry_set_pathname(
            header,
            qPrintable(
                QStringLiteral("activities/%1.%2.gz").arg(i + 1).arg(QFileInfo(path).suffix())));
        archive_entry_set_filetype(header, AE_IFREG);
        archive_entry_set_perm(header, 0644);
        archive_entry_set_size(header, la_int64_t(packed.size()));
        archive_write_header(writer, header);
        archive_write_data(writer, packed.data(), packed.size());
        archive_entry_free(header);
        if (out.size() > (1 << 20)) {
            zip.write(out.data(), qint64(out.size()));
            out.clear();
        }
    }
    archive_write_close(writer);
    archive_write_free(writer);
    zip.write(out.data(), qint64(out.size()));
    if (error.isEmpty() && !zip.commit())
        error = QStringLiteral("Cannot write \"%1\": %2").arg(zipPath, zip.errorString());
    return error;
}
