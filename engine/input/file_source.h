#pragma once

#include "input/byte_source.h"

#include <atomic>

namespace kelvane {

// A file named by a path, opened once and read front to back: a regular
// file, a pipe (`<(cat file)`, /dev/stdin), a FIFO or a device alike.
//
// Nothing here waits beyond a request to stop: opening a FIFO does not wait
// for its writer, and a read that waits for a pipe or a FIFO looks at the
// stop flag several times a second and gives up once it is set, however the
// signal that set it was delivered.
class FileSource final : public ByteSource {
  public:
    explicit FileSource(QString path, const std::atomic_bool *stop = nullptr);
    ~FileSource() override;
    FileSource(const FileSource &) = delete;
    FileSource &operator=(const FileSource &) = delete;

    // False when the file cannot be read; errorString() names it and the reason.
    bool open();
    qint64 read(char *into, qint64 size) override;
    QString errorString() const override { return error; }
    QString name() const override { return path; }
    qint64 size() const override { return regular ? fileSize : -1; }
    // A regular file's end is read where it lies; other files cannot.
    bool readEnd(std::size_t count, std::string &out) override;
    // A regular file is opened again; other files cannot be read twice.
    std::unique_ptr<ByteSource> readAgain() override;

  private:
    bool waitForBytes();
    bool fail(const QString &what, int reason);

    const QString path;
    const std::atomic_bool *stop;
    int fd = -1;
    bool regular = false;
    qint64 fileSize = -1;
    QString error;
};

} // namespace kelvane
