#pragma once

#include <QObject>
#include <QString>

class QComboBox;
class TTwainControl;

// Fills the source list from the scanner control without making the window wait
// for the device search, which takes seconds when SANE asks every backend (and
// longer over a slow network). While the control searches, the list holds a single
// disabled item saying so.
//
// With a remembered device the search does not hold the user up: the device is
// opened by its name first and listed alone, finished() follows at once, and the
// full search runs behind it, completing the list later without changing the
// choice (the list is only replaced, the scanner in use is not touched).
class SourceListLoader final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SourceListLoader)

public:
    SourceListLoader(TTwainControl *control, QComboBox *list, QObject *parent = nullptr);

    // Starts a search; finished() follows, possibly before this returns. A call
    // during a search is ignored: its answer is on its way. A call while the list
    // is being completed turns that into a search of its own.
    // rememberedDevice: the device name to open first (empty: search at once).
    void start(const QString &rememberedDevice = QString());
    bool isSearching() const { return m_searching; }
    // The list holds the remembered device alone; the full search still runs.
    bool isCompleting() const { return m_completing; }
    // The last start ended with the remembered device opened and chosen.
    bool openedRemembered() const { return m_openedRemembered; }
    // The item chosen when the running search began (-1: none).
    int previousIndex() const { return m_previousIndex; }
    // The searching item's text in the current language.
    void setSearchingText(const QString &text);

signals:
    // The list holds one item per source (data: the source's index) with the
    // control's source selected, or the source chosen before the search when it is
    // still there; it stays empty when the control could not list its sources.
    void finished();

private:
    void showSearching();
    void onRememberedOpened(int result);
    void onListed(int result);
    void fillList();

    TTwainControl *m_control;
    QComboBox *m_list;
    QString m_searchingText;
    QString m_previousChoice;
    int m_previousIndex = -1;
    bool m_searching = false;
    bool m_openingRemembered = false;
    bool m_completing = false;
    bool m_openedRemembered = false;
};
