#include "pictures.h"

#include <QFile>
#include <QPainter>
#include <QSvgRenderer>
#include <QXmlStreamReader>

#include <cmath>

QPixmap RenderPicture(const QString &resource, QSize size, qreal ratio)
{
    QPixmap pixmap(int(std::ceil(size.width() * ratio)), int(std::ceil(size.height() * ratio)));
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::black);
    QSvgRenderer renderer(resource);
    QPainter painter(&pixmap);
    renderer.render(&painter, QRectF(QPointF(), size));
    return pixmap;
}

QStringList PictureText(const QString &resource)
{
    QFile file(resource);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines;
    QXmlStreamReader svg(&file);
    while (!svg.atEnd()) {
        if (svg.readNext() == QXmlStreamReader::StartElement &&
            svg.name() == QLatin1StringView("text"))
            lines << svg.readElementText(QXmlStreamReader::IncludeChildElements).simplified();
    }
    return lines;
}
