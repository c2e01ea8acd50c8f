#include "mainwindow/StatusPanelBar.h"

#include <QPainter>
#include <QProgressBar>
#include <QStyleOptionProgressBar>

namespace {
constexpr int PanelWidths[StatusPanelBar::PanelCount] = {250, 150, 193, 50};
}

const QColor StatusPanelBar::PlainColor(0, 128, 0);
const QColor StatusPanelBar::ErrorColor(255, 0, 0);

StatusPanelBar::StatusPanelBar(QProgressBar *progress, QWidget *parent)
    : QWidget(parent), m_progress(progress)
{
    setObjectName(QStringLiteral("sb_Main"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(m_progress, &QProgressBar::valueChanged, this, [this] { update(panelRect(1)); });
}

QSize StatusPanelBar::sizeHint() const
{
    return {790, fontMetrics().height() + 6};
}

QSize StatusPanelBar::minimumSizeHint() const
{
    return {0, fontMetrics().height() + 6};
}

QRect StatusPanelBar::panelRect(int panel) const
{
    int left = 0;
    for (int i = 0; i < panel; ++i)
        left += PanelWidths[i];
    return QRect(left, 0, PanelWidths[panel], height());
}

void StatusPanelBar::setStatus(const QString &text, bool isError)
{
    m_texts[0] = text;
    m_isError = isError;
    // The status must show at once, also while a long step keeps the loop busy.
    repaint(panelRect(0));
}

void StatusPanelBar::setPanelText(int panel, const QString &text)
{
    if (panel < 0 || panel >= PanelCount)
        return;
    m_texts[panel] = text;
    update(panelRect(panel));
}

QString StatusPanelBar::panelText(int panel) const
{
    return panel >= 0 && panel < PanelCount ? m_texts[panel] : QString();
}

void StatusPanelBar::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), palette().window());

    for (int i = 0; i < PanelCount; ++i) {
        const QRect r = panelRect(i);
        p.setPen(palette().mid().color());
        p.drawLine(r.topRight() + QPoint(-1, 2), r.bottomRight() + QPoint(-1, -2));

        if (i == 1) {
            QStyleOptionProgressBar opt;
            opt.initFrom(m_progress);
            opt.rect = r.adjusted(1, 2, -3, -2);
            opt.minimum = m_progress->minimum();
            opt.maximum = m_progress->maximum();
            opt.progress = m_progress->value();
            opt.state |= QStyle::State_Horizontal;
            style()->drawControl(QStyle::CE_ProgressBar, &opt, &p, this);
            continue;
        }

        QColor color = palette().windowText().color();
        if (i == 0)
            color = m_isError ? ErrorColor : PlainColor;
        p.setPen(color);
        const QRect textRect = r.adjusted(2, 0, -4, 0);
        p.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                   fontMetrics().elidedText(m_texts[i], Qt::ElideRight, textRect.width()));
    }
}
