#include "pictures.h"

#include <QPainter>
#include <QSvgRenderer>

QPixmap RenderPicture(const QString &resource, QSize size)
{
    QPixmap pixmap(size);
    pixmap.fill(Qt::black);
    QSvgRenderer renderer(resource);
    QPainter painter(&pixmap);
    renderer.render(&painter);
    return pixmap;
}
