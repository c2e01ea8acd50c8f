#include "mainwindow/StatusPanelBar.h"

#include "i18n/MessageTables.h"
#include "i18n/TLangTranslator.h"
#include "widgets/UserPrompts.h"

#include <QEvent>
#include <QHelpEvent>
#include <QLoggingCategory>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QStyleOptionProgressBar>
#include <QToolTip>

namespace {
Q_LOGGING_CATEGORY(lcStatus, "pagora.status", QtWarningMsg)

// The designed widths; the count panel only ever grows from its 50.
constexpr int PanelWidths[StatusPanelBar::PanelCount] = {250, 150, 193, 50};
constexpr int CountPanel = 3;
constexpr int TextLeft = 2;  // text starts 2 pixels into its panel
constexpr int TextRight = 4; // and keeps clear of the separator line
} // namespace

const QColor StatusPanelBar::PlainColor(0, 128, 0);
const QColor StatusPanelBar::ErrorColor(255, 0, 0);

StatusPanelBar::StatusPanelBar(QProgressBar *progress, QWidget *parent)
    : QWidget(parent), m_progress(progress)
{
    setObjectName(QStringLiteral("sb_Main"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(m_progress, &QProgressBar::valueChanged, this, [this] { update(panelRect(1)); });
    fitCountPanel();
}

void StatusPanelBar::fitCountPanel()
{
    // Room for a three-digit count in the current language and font, taken from
    // the empty space right of the panels.
    const QString widest =
        QString::number(999) + MessageTables::main().GetTextOrDefault(QStringLiteral("IDS_105"));
    m_countWidth = qMax(PanelWidths[CountPanel],
                        fontMetrics().horizontalAdvance(widest) + TextLeft + TextRight + 1);
    update();
}

void StatusPanelBar::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange || event->type() == QEvent::FontChange)
        fitCountPanel();
    QWidget::changeEvent(event);
}

bool StatusPanelBar::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        const auto *help = static_cast<QHelpEvent *>(event);
        const QString tip = toolTipAt(help->pos());
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), tip, this, panelRect(0));
        return true;
    }
    return QWidget::event(event);
}

void StatusPanelBar::mouseReleaseEvent(QMouseEvent *event)
{
    // An error too long for its panel is read, and its file path copied, here.
    if (event->button() == Qt::LeftButton && m_isError && !m_texts[0].isEmpty() &&
        panelRect(0).contains(event->position().toPoint()))
        UserPrompts::showError(window(), m_texts[0]);
    QWidget::mouseReleaseEvent(event);
}

QString StatusPanelBar::toolTipAt(const QPoint &pos) const
{
    return panelRect(0).contains(pos) ? m_texts[0] : QString();
}

QString StatusPanelBar::displayedText(int panel) const
{
    if (panel < 0 || panel >= PanelCount || panel == 1)
        return QString();
    const int room = panelRect(panel).width() - TextLeft - TextRight;
    return fontMetrics().elidedText(m_texts[panel], Qt::ElideRight, room);
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
    const auto widthOf = [this](int i) { return i == CountPanel ? m_countWidth : PanelWidths[i]; };
    int left = 0;
    for (int i = 0; i < panel; ++i)
        left += widthOf(i);
    return QRect(left, 0, widthOf(panel), height());
}

void StatusPanelBar::setStatus(const QString &text, bool isError)
{
    m_texts[0] = text;
    m_isError = isError;
    // Also in the log, where a long message can be read whole and kept.
    if (isError)
        qCWarning(lcStatus).noquote() << text;
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
        p.drawText(r.adjusted(TextLeft, 0, -TextRight, 0),
                   Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, displayedText(i));
    }
}
