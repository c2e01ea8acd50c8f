#pragma once

#include "widgets/UserPrompts.h"
#include "settings/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <memory>

// One test case's own settings file, destination folder and TEMP, all removed
// afterwards (TEMP as it was again) together with any prompt responder the case
// installed.
struct TestFolders
{
    std::unique_ptr<QTemporaryDir> dir;
    QString dest;
    QString temp;

    TestFolders() = default;
    ~TestFolders() { tearDown(); }
    Q_DISABLE_COPY_MOVE(TestFolders)

    bool setUp()
    {
        if (!dir)
            m_oldTemp = qgetenv("TEMP");
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
        if (!dir)
            return;
        UserPrompts::setResponder({});
        SettingsStore::setDefaultFilePath(QString());
        dir.reset();
        qputenv("TEMP", m_oldTemp);
    }

private:
    QByteArray m_oldTemp;
};
