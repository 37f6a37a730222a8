#pragma once

#include <QPixmap>
#include <QString>
#include <QStringList>

// The window's drawings, kept as SVG in the resources and painted at the size
// each picture box shows them, in as many device pixels as the screen has
// for that size (ratio 2 on a screen scaled to 200%), so that they stay as
// sharp as the text beside them.
QPixmap RenderPicture(const QString &resource, QSize size, qreal ratio = 1);

// The lines of text a drawing shows, top first, for readers who cannot see it.
QStringList PictureText(const QString &resource);
