#pragma once

// Checks day files the way another program reads them: xmllint against the
// published schemas in tests/data; and finds the real files tests read.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>

namespace xml_check {

// The real files the project may carry, and the shared reference folder
// beside the project (not always there) with the others, in the same layout.
inline const QString kData = QStringLiteral(KELVANE_SOURCE_DIR "/tests/data");
inline const QString kReference =
    QDir::cleanPath(QStringLiteral(KELVANE_SOURCE_DIR "/../shared/reference"));

// A file by its place in that layout ("tcx/history.tcx"): in tests/data when
// it is there, else in the reference folder, where it may be missing.
inline QString Reference(const QString &name)
{
    const QString own = QDir(kData).filePath(name);
    return QFile::exists(own) ? own : QDir(kReference).filePath(name);
}
inline QString Schema(const QString &name)
{
    return Reference(QStringLiteral("schemas/") + name);
}
inline const QString kTcxSchema = Schema(QStringLiteral("tcx_with_ax2.xsd"));
inline const QString kGpx11Schema = Schema(QStringLiteral("gpx11_with_garmin_ext.xsd"));

inline bool HaveProgram(const QString &name)
{
    return !QStandardPaths::findExecutable(name).isEmpty();
}

// Empty when the file is valid against the schema; otherwise what xmllint said.
inline QString SchemaErrors(const QString &file, const QString &schema)
{
    QProcess xmllint;
    xmllint.start(QStringLiteral("xmllint"), {QStringLiteral("--noout"), QStringLiteral("--nonet"),
                                              QStringLiteral("--schema"), schema, file});
    if (!xmllint.waitForFinished(60000))
        return QStringLiteral("xmllint did not finish");
    if (xmllint.exitStatus() == QProcess::NormalExit && xmllint.exitCode() == 0)
        return {};
    return QString::fromLocal8Bit(xmllint.readAllStandardError()).left(2000);
}

// The same for bytes, written to a scratch file first.
inline QString SchemaErrorsOf(const QByteArray &bytes, const QString &schema)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("day.xml"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return QStringLiteral("cannot write a scratch file");
    file.close();
    return SchemaErrors(path, schema);
}

} // namespace xml_check

// Skips the test when xmllint is not there.
#define REQUIRE_XMLLINT()                                                                          \
    do {                                                                                           \
        if (!xml_check::HaveProgram(QStringLiteral("xmllint")))                                    \
            QSKIP("xmllint is not installed (Debian package libxml2-utils)");                      \
    } while (false)

// Skips the test when a file of the shared reference folder is not there.
#define REQUIRE_FILE(path)                                                                         \
    do {                                                                                           \
        if (!QFile::exists(path))                                                                  \
            QSKIP("the reference files are not beside the project (../shared/reference)");         \
    } while (false)
