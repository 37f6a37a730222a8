#pragma once

// Runs the real window on a fixed clock in a scratch folder, and records how
// the program would have ended and what it would have told the user.

#include "main_window.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

struct WindowFixture {
    // Monday 7 December 2026, half past ten in the morning.
    QDateTime now{QDate(2026, 12, 7), QTime(10, 30)};
    QTemporaryDir folder;
    int endCalls = 0;
    QStringList messages;
    std::unique_ptr<frmKelvane> window;

    // Files that must be in the folder when the window is made go in first.
    void addFile(const QString &name, const QByteArray &bytes = QByteArray())
    {
        QFile file(folder.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    frmKelvane &open(bool load = true)
    {
        WindowEnvironment environment;
        environment.presentMoment = [this] { return now; };
        environment.workingFolder = folder.path();
        environment.endProgram = [this] { ++endCalls; };
        environment.showMessage = [this](const QString &, const QString &text) {
            messages << text;
        };
        window = std::make_unique<frmKelvane>(environment);
        if (load)
            window->Load();
        return *window;
    }

    template <typename T = QWidget> T *control(const QString &name) const
    {
        T *widget = window->findChild<T *>(name);
        if (!widget)
            qWarning("no control %s", qPrintable(name));
        return widget;
    }

    // Picks a day for labDayPic(index) the way a user does: a click on the
    // label opens the picker, then the picker's date is changed.
    void pick(int index, QDate day)
    {
        QTest::mouseClick(control(QStringLiteral("labDayPic%1").arg(index)), Qt::LeftButton, {},
                          QPoint(3, 3));
        control<QDateEdit>(QStringLiteral("DTPicker1"))->setDate(day);
    }

    // The text a label, button, check box or combo shows.
    QString caption(const QString &name) const
    {
        const QWidget *widget = control(name);
        if (const auto *label = qobject_cast<const QLabel *>(widget))
            return label->text();
        if (const auto *button = qobject_cast<const QAbstractButton *>(widget))
            return button->text();
        if (const auto *combo = qobject_cast<const QComboBox *>(widget))
            return combo->currentText();
        return QString();
    }
    // The day files in the folder, sorted.
    QStringList dayFiles() const
    {
        QStringList names = QDir(folder.path()).entryList(QDir::Files, QDir::Name);
        names.removeIf([](const QString &name) { return !name.contains(QLatin1Char('_')); });
        return names;
    }
};
