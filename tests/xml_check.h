#pragma once

// Checks day files the way another program reads them: xmllint against the
// published schemas in the shared reference folder beside the project.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>

namespace xml_check {

inline const QString kReference =
    QDir::cleanPath(QStringLiteral(KELVANE_SOURCE_DIR "/../shared/reference"));

inline QString Reference(const QString &name)
{
    return QDir(kReference).filePath(name);
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

// Skips the test when the tools or the reference folder are not there.
#define REQUIRE_XMLLINT()                                                                          \
    do {                                                                                           \
        if (!xml_check::HaveProgram(QStringLiteral("xmllint")))                                    \
            QSKIP("xmllint is not installed (Debian package libxml2-utils)");                      \
        if (!QFile::exists(xml_check::kTcxSchema))                                                 \
            QSKIP("the reference schemas are not in ../shared/reference/schemas");                 \
    } while (false)
