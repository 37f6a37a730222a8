#pragma once

// What the machine itself needs for the work a conversion does: reading the
// input, and creating the day files. Conversions are measured against these.

#include <QString>

#include <vector>

struct OutputFile {
    QString name;
    qint64 size = 0;
};

// Reads the input through the engine's line reader and counts its lines.
qint64 ReadFloor(const QString &input);

// Reads the input as ReadFloor does, then creates each file in `folder` with
// its size in bytes: open, write, close, nothing more. Returns false with a
// message on the first failure.
bool FilesFloor(const QString &input, const QString &folder, const std::vector<OutputFile> &files,
                QString &error);
