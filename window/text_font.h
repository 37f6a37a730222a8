#pragma once

#include <QFont>
#include <QString>

class QWidget;

// The font to draw a text in: the given one when it holds every character of
// the text, otherwise the font Qt falls back to for the first character it
// lacks. Qt takes a missing character from another font, but a combining
// accent that the first font does have then stays in the first one, detached
// from its letter (Yoruba's "ọ́": the dot-below letter from the fallback, the
// acute from Comic Neue); in one font the accent sits on its letter.
QFont FontForText(const QFont &font, const QString &text);

// Gives the widget the font its text needs, or lets it inherit its parent's
// font again when that one will do.
void FitFontToText(QWidget *widget, const QString &text);
