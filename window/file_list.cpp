#include "file_list.h"

#include <QDir>

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
