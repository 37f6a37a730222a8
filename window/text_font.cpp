#include "text_font.h"

#include <QApplication>
#include <QGlyphRun>
#include <QRawFont>
#include <QTextLayout>
#include <QWidget>

namespace {

// The family of the font Qt draws the character with when the font lacks it.
QString FallbackFamily(const QFont &font, char32_t character)
{
    QTextLayout layout(QString::fromUcs4(&character, 1), font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    const QList<QGlyphRun> runs = layout.glyphRuns();
    if (runs.isEmpty())
        return QString();
    // Where no font on the system has the character, Qt draws a box from a
    // font that is no font file and has no name.
    const QRawFont drawnWith = runs.first().rawFont();
    if (!drawnWith.isValid() || drawnWith.fontTable("name").isEmpty())
        return QString();
    return drawnWith.familyName();
}

} // namespace

QFont FontForText(const QFont &font, const QString &text)
{
    // The font itself, not the fonts Qt falls back to.
    const QRawFont own = QRawFont::fromFont(font);
    for (const char32_t character : text.toUcs4()) {
        if (own.supportsCharacter(character))
            continue;
        const QString family = FallbackFamily(font, character);
        if (family.isEmpty())
            return font;
        QFont fallback = font;
        fallback.setFamilies(QStringList(family) << font.families());
        return fallback;
    }
    return font;
}

void FitFontToText(QWidget *widget, const QString &text)
{
    const QWidget *parent = widget->parentWidget();
    const QFont inherited = parent ? parent->font() : QApplication::font(widget);
    const QFont needed = FontForText(inherited, text);
    // A font with nothing set inherits everything from the parent again.
    widget->setFont(needed == inherited ? QFont() : needed);
}
