#pragma once

#include "mainwindow/UserPrompts.h"
#include "settings/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <memory>

// One test case's own settings file, destination folder and TEMP, all removed
// afterwards together with any prompt responder the case installed.
struct CommandTestFolders
{
    std::unique_ptr<QTemporaryDir> dir;
    QString dest;
    QString temp;

    bool setUp()
    {
        dir = std::make_unique<QTemporaryDir>();
        if (!dir->isValid())
            return false;
        SettingsStore::setDefaultFilePath(dir->filePath(QStringLiteral("settings.conf")));
        dest = dir->filePath(QStringLiteral("scans"));
        temp = dir->filePath(QStringLiteral("temp"));
        qputenv("TEMP", QFile::encodeName(temp));
        return QDir().mkpath(dest) && QDir().mkpath(temp);
    }

    void tearDown()
    {
        UserPrompts::setResponder({});
        SettingsStore::setDefaultFilePath(QString());
        dir.reset();
    }
};
