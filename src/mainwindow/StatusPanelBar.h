#pragma once

#include <QString>
#include <QWidget>

class QProgressBar;

// The main window's status bar: four panels of fixed width. Panel 0 shows the
// status line in dark green, or red for errors; panel 1 paints the (hidden)
// progress bar; panels 2 and 3 show plain texts (scan area size, file count).
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

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QProgressBar *m_progress;
    QString m_texts[PanelCount];
    bool m_isError = false;
};
