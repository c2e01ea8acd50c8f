#include "mainwindow/SourceListLoader.h"

#include "scanner/TTwainControl.h"

#include <QComboBox>
#include <QStandardItemModel>

SourceListLoader::SourceListLoader(TTwainControl *control, QComboBox *list, QObject *parent)
    : QObject(parent), m_control(control), m_list(list)
{
    connect(m_control, &TTwainControl::OnSourcesListed, this, &SourceListLoader::onListed);
}

void SourceListLoader::start()
{
    if (m_searching)
        return;
    m_searching = true;
    m_previousChoice = m_list->currentText();
    m_previousIndex = m_list->currentIndex();
    m_list->clear();
    m_list->addItem(m_searchingText);
    // Shown, never chosen: a command must not take it for a scanner.
    if (auto *model = qobject_cast<QStandardItemModel *>(m_list->model()))
        model->item(0)->setEnabled(false);
    m_list->setCurrentIndex(0);
    m_control->ListSources();
}

void SourceListLoader::setSearchingText(const QString &text)
{
    m_searchingText = text;
    if (m_searching && m_list->count() == 1)
        m_list->setItemText(0, text);
}

void SourceListLoader::onListed(int result)
{
    if (!m_searching)
        return;
    m_searching = false;
    m_list->clear();
    if (result != 0) {
        for (int i = 0; i < m_control->sourceCount(); ++i)
            m_list->addItem(m_control->GetSourceProductName(i), i);
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
