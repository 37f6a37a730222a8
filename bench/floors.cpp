#include "floors.h"

#include "input/file_source.h"
#include "input/line_reader.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>

qint64 ReadFloor(const QString &input)
{
    kelvane::FileSource file(input);
    if (!file.open())
        return -1;
    kelvane::LineReader reader{kelvane::InputBuffer(file)};
    std::string_view line;
    qint64 lines = 0;
    while (reader.next(line))
        ++lines;
    return lines;
}

bool FilesFloor(const QString &input, const QString &folder, const std::vector<OutputFile> &files,
                QString &error)
{
    if (ReadFloor(input) < 0) {
        error = QStringLiteral("Cannot read \"%1\"").arg(input);
        return false;
    }
    qint64 largest = 0;
    for (const OutputFile &file : files)
        largest = std::max(largest, file.size);
    const std::string bytes(std::size_t(largest), 'x');
    const QDir dir(folder);
    for (const OutputFile &file : files) {
        const QByteArray path = QFile::encodeName(dir.filePath(file.name));
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        const bool written =
            fd >= 0 && ::write(fd, bytes.data(), std::size_t(file.size)) == file.size;
        const int reason = errno;
        if (fd >= 0)
            ::close(fd);
        if (!written) {
            error = QStringLiteral("Cannot write \"%1\": %2")
                        .arg(QString::fromLocal8Bit(path),
                             QString::fromLocal8Bit(std::strerror(reason)));
            return false;
        }
    }
    return true;
}
