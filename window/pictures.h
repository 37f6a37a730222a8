#pragma once

#include <QPixmap>
#include <QString>

// The window's drawings, kept as SVG in the resources and painted at the pixel
// size each picture box shows them.
QPixmap RenderPicture(const QString &resource, QSize size);
