#pragma once

#include <QString>
#include <QWidget>

class QAccessibleInterface;
class QProgressBar;

// The main window's status bar: four panels of fixed width. Panel 0 shows the
// status line in dark green, or red for errors; panel 1 paints the (hidden)
// progress bar; panels 2 and 3 show plain texts (scan area size, file count).
// A text too long for its panel ends in "…"; panel 0's tool tip holds the whole
// status (and says a click shows a cut error whole), and a click on it while it shows an error
// opens the whole error in a message box. Errors also go to the log (category pagora.status).
// Screen readers meet the bar as a status bar whose children are the panels'
// texts and the named progress bar; every change is announced to them.
class StatusPanelBar final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StatusPanelBar)

public:
    static constexpr int PanelCount = 4;
    static const QColor PlainColor; // RGB 0, 128, 0
    static const QColor ErrorColor; // RGB 255, 0, 0

    explicit StatusPanelBar(QProgressBar *progress, QWidget *parent = nullptr);

    void setStatus(const QString &text, bool isError);
    void setPanelText(int panel, const QString &text);
    QString panelText(int panel) const;
    QRect panelRect(int panel) const;
    // The text as drawn: elided with "…" when it does not fit its panel.
    QString displayedText(int panel) const;
    // The tool tip at a point of the bar: the whole status over panel 0.
    QString toolTipAt(const QPoint &pos) const;

    bool isError() const { return m_isError; }
    QProgressBar *progressBar() const { return m_progress; }
    // The progress bar's name for screen readers, in the current language.
    QString progressName() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool event(QEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    void fitCountPanel();
    bool errorCut() const;
    void retranslateAccessible();
    QAccessibleInterface *accessiblePanel(int panel);
    void announce(int panel);

    QProgressBar *m_progress;
    QString m_texts[PanelCount];
    bool m_isError = false;
    int m_countWidth = 0; // panel 3: at least 50, wide enough for "999 files"
};
