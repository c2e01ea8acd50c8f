#pragma once

#include "LocalHttpServer.h"
#include "about/UpdateChecker.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <memory>

// One test case's own TEMP folder and a local server that the update check is
// pointed at; the TEMP of the test run comes back afterwards.
class UpdateServerFixture
{
public:
    static constexpr const char *FilePath = "/download/pagora-pro/pagora-pro.xml";

    static QByteArray updateFile(const QByteArray &version)
    {
        return "<Pagora><Program_Info><Program_Version>" + version +
               "</Program_Version></Program_Info></Pagora>";
    }

    bool setUp()
    {
        m_originalTemp = qgetenv("TEMP");
        if (m_originalTemp.isEmpty())
            return false;
        m_temp = std::make_unique<QTemporaryDir>(QString::fromLocal8Bit(m_originalTemp) +
                                                 QStringLiteral("/case-XXXXXX"));
        if (!m_temp->isValid())
            return false;
        qputenv("TEMP", QFile::encodeName(m_temp->path()));
        m_server = std::make_unique<LocalHttpServer>();
        if (!m_server->listen())
            return false;
        UpdateChecker::setDefaultAddress(m_server->url(FilePath));
        UpdateChecker::setDefaultTimeLimit(UpdateChecker::StandardTimeLimit);
        return true;
    }

    void tearDown()
    {
        m_server.reset();
        if (!m_originalTemp.isEmpty())
            qputenv("TEMP", m_originalTemp);
        m_temp.reset();
    }

    QTemporaryDir *temp() const { return m_temp.get(); }
    LocalHttpServer *server() const { return m_server.get(); }

private:
    QByteArray m_originalTemp;
    std::unique_ptr<QTemporaryDir> m_temp;
    std::unique_ptr<LocalHttpServer> m_server;
};
