#include "mainwindow/SourceListLoader.h"

#include "scanner/TTwainControl.h"

#include <QComboBox>
#include <QLoggingCategory>
#include <QStandardItemModel>

Q_LOGGING_CATEGORY(lcSources, "pagora.mainwindow.sources", QtWarningMsg)

SourceListLoader::SourceListLoader(TTwainControl *control, QComboBox *list, QObject *parent)
    : QObject(parent), m_control(control), m_list(list)
{
    connect(m_control, &TTwainControl::OnSourcesListed, this, &SourceListLoader::onListed);
    connect(m_control, &TTwainControl::OnRememberedSourceOpened, this,
            &SourceListLoader::onRememberedOpened);
}

void SourceListLoader::start(const QString &rememberedDevice)
{
    if (m_searching)
        return;
    m_searching = true;
    m_openedRemembered = false;
    m_previousChoice = m_list->currentText();
    m_previousIndex = m_list->currentIndex();
    showSearching();
    if (m_completing) {
        // The search behind the remembered device answers this one.
        m_completing = false;
        return;
    }
    if (!rememberedDevice.isEmpty()) {
        m_openingRemembered = true;
        m_control->OpenRememberedSource(rememberedDevice);
        return;
    }
    m_control->ListSources();
}

void SourceListLoader::showSearching()
{
    m_list->clear();
    m_list->addItem(m_searchingText);
    // Shown, never chosen: a command must not take it for a scanner.
    if (auto *model = qobject_cast<QStandardItemModel *>(m_list->model()))
        model->item(0)->setEnabled(false);
    m_list->setCurrentIndex(0);
}

void SourceListLoader::setSearchingText(const QString &text)
{
    m_searchingText = text;
    if (m_searching && m_list->count() == 1)
        m_list->setItemText(0, text);
}

void SourceListLoader::onRememberedOpened(int result)
{
    if (!m_openingRemembered)
        return;
    m_openingRemembered = false;
    if (result == 0) {
        // Gone, busy or unplugged: the search as without a remembered device.
        m_control->ListSources();
        return;
    }
    m_searching = false;
    m_completing = true;
    m_openedRemembered = true;
    m_list->clear();
    fillList();
    m_list->setCurrentIndex(m_control->sourceIndex());
    // A control whose list costs nothing completes it before this returns.
    m_control->ListSources();
    emit finished();
}

void SourceListLoader::fillList()
{
    for (int i = 0; i < m_control->sourceCount(); ++i)
        m_list->addItem(m_control->GetSourceProductName(i), i);
}

void SourceListLoader::onListed(int result)
{
    if (m_completing) {
        m_completing = false;
        // A failed search leaves the remembered device, which works, where it is.
        if (result == 0) {
            qCWarning(lcSources) << "the scanner list could not be read; keeping"
                                 << m_list->currentText();
            return;
        }
        // The control kept the chosen source by its device name; the commands read
        // the list's position, so it follows.
        m_list->clear();
        fillList();
        m_list->setCurrentIndex(m_control->sourceIndex());
        return;
    }
    if (!m_searching || m_openingRemembered)
        return;
    m_searching = false;
    m_list->clear();
    if (result != 0) {
        fillList();
        const int kept = m_previousChoice.isEmpty() ? -1 : m_list->findText(m_previousChoice);
        if (kept >= 0) {
            m_list->setCurrentIndex(kept);
            m_control->setSourceIndex(kept);
        } else {
            m_list->setCurrentIndex(m_control->sourceIndex());
        }
    }
    emit finished();
}
