#include "command_button.h"

#include "text_font.h"

#include <QKeyEvent>
#include <QStyle>
#include <QStyleOptionButton>

CommandButton::CommandButton(const QString &caption, QWidget *parent) : QPushButton(caption, parent)
{
    setAutoDefault(false);
}

bool CommandButton::setCaption(const QString &text)
{
    FitFontToText(this, text);
    QStyleOptionButton option;
    initStyleOption(&option);
    const int room = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this).width() -
                     style()->pixelMetric(QStyle::PM_ButtonMargin, &option, this);
    const QString shown = fontMetrics().elidedText(text, Qt::ElideMiddle, room);
    setText(QString(shown).replace(QLatin1Char('&'), QStringLiteral("&&")));
    setAccessibleName(text);
    return shown != text;
}

void CommandButton::keyPressEvent(QKeyEvent *event)
{
    const bool returnKey = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (!returnKey || modifiers != Qt::NoModifier) {
        QPushButton::keyPressEvent(event);
        return;
    }
    // A held key presses once, as with Space.
    if (!event->isAutoRepeat())
        click();
    event->accept();
}
