// kelvane-render-icon: draws the program's SVG icon as the PNG files of the
// hicolor icon theme, for the package.
//
//     kelvane-render-icon ICON.svg FOLDER NAME SIZE...
//
// writes FOLDER/SIZExSIZE/apps/NAME.png for every SIZE. Not installed.

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QStringList>
#include <QSvgRenderer>

#include <cstdio>

namespace {

void Say(const QString &text)
{
    std::fprintf(stderr, "kelvane-render-icon: %s\n", qPrintable(text));
}

} // namespace

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (arguments.size() < 4) {
        Say(QStringLiteral("usage: kelvane-render-icon ICON.svg FOLDER NAME SIZE..."));
        return 2;
    }
    const QString icon = arguments.takeFirst();
    const QString folder = arguments.takeFirst();
    const QString name = arguments.takeFirst();

    QSvgRenderer renderer(icon);
    if (!renderer.isValid()) {
        Say(QStringLiteral("cannot read \"%1\" as an SVG picture").arg(icon));
        return 1;
    }
    for (const QString &sizeText : arguments) {
        bool number = false;
        const int size = sizeText.toInt(&number);
        if (!number || size < 1 || size > 4096) {
            Say(QStringLiteral("\"%1\" is not an icon size").arg(sizeText));
            return 2;
        }
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        renderer.render(&painter);
        painter.end();

        const QString subfolder = QStringLiteral("%1/%2x%2/apps").arg(folder).arg(size);
        const QString path = subfolder + QLatin1Char('/') + name + QStringLiteral(".png");
        if (!QDir().mkpath(subfolder) || !image.save(path, "PNG")) {
            Say(QStringLiteral("cannot write \"%1\"").arg(path));
            return 1;
        }
    }
    return 0;
}
