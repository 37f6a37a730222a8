#include "file_list.h"

#include <QDir>
#include <QKeyEvent>

FileList::FileList(const QString &folder, const QString &pattern, QWidget *parent)
    : QListWidget(parent), folder(folder)
{
    const QStringList names = QDir(folder).entryList(QDir::nameFiltersFromString(pattern),
                                                     QDir::Files, QDir::Name | QDir::IgnoreCase);
    addItems(names);
    connect(this, &QListWidget::itemClicked, this, &FileList::Click);
    connect(this, &QListWidget::itemActivated, this, &FileList::Click);
}

QString FileList::FileName() const
{
    const QListWidgetItem *item = currentItem();
    return item ? item->text() : QString();
}

void FileList::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        Q_EMIT Dismissed();
        event->accept();
        return;
    }
    QListWidget::keyPressEvent(event);
}

void FileList::showEvent(QShowEvent *event)
{
    QListWidget::showEvent(event);
    const auto siblings = parentWidget()->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    for (QWidget *sibling : siblings) {
        if (sibling != this && sibling->isEnabled() && geometry().contains(sibling->geometry())) {
            sibling->setEnabled(false);
            covered << sibling;
        }
    }
}

void FileList::hideEvent(QHideEvent *event)
{
    for (const QPointer<QWidget> &sibling : std::as_const(covered)) {
        if (sibling)
            sibling->setEnabled(true);
    }
    covered.clear();
    QListWidget::hideEvent(event);
}
