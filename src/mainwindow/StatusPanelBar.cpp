#include "mainwindow/StatusPanelBar.h"

#include "i18n/MessageTables.h"
#include "i18n/TLangTranslator.h"
#include "widgets/UserPrompts.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QEvent>
#include <QHelpEvent>
#include <QLoggingCategory>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
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
constexpr int ProgressPanel = 1;

// One painted panel as a screen reader meets it: the status, the scan area size
// and the file count as text, panel 1 as the progress bar with its value. The
// panels are not widgets, so they are children made up by the bar's interface.
class PanelAccessible final : public QAccessibleInterface, public QAccessibleValueInterface
{
public:
    PanelAccessible(StatusPanelBar *bar, QProgressBar *progress, int panel)
        : m_bar(bar), m_progress(progress), m_panel(panel)
    {
    }

    bool isValid() const override { return !m_bar.isNull(); }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override { return m_bar ? m_bar->window()->windowHandle() : nullptr; }
    QList<QPair<QAccessibleInterface *, QAccessible::Relation>>
    relations(QAccessible::Relation) const override
    {
        return {};
    }
    QAccessibleInterface *focusChild() const override { return nullptr; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QAccessibleInterface *parent() const override
    {
        return m_bar ? QAccessible::queryAccessibleInterface(m_bar.data()) : nullptr;
    }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }

    QString text(QAccessible::Text t) const override
    {
        if (!m_bar)
            return QString();
        if (m_panel == ProgressPanel) {
            if (t == QAccessible::Name)
                return m_bar->progressName();
            if (t == QAccessible::Value && m_progress)
                return QString::number(m_progress->value()) + QLatin1Char('%');
            return QString();
        }
        if (t == QAccessible::Name)
            return m_bar->panelText(m_panel);
        if (t == QAccessible::Description && m_panel == 0 && m_bar->isError())
            return StatusPanelBar::tr("Error", "sb_Main.Error");
        return QString();
    }
    void setText(QAccessible::Text, const QString &) override {}

    QRect rect() const override
    {
        if (!m_bar)
            return QRect();
        const QRect r = m_bar->panelRect(m_panel);
        return QRect(m_bar->mapToGlobal(r.topLeft()), r.size());
    }
    QAccessible::Role role() const override
    {
        return m_panel == ProgressPanel ? QAccessible::ProgressBar : QAccessible::StaticText;
    }
    QAccessible::State state() const override
    {
        QAccessible::State s;
        s.readOnly = true;
        s.invisible = !m_bar || !m_bar->isVisible();
        return s;
    }
    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface && m_panel == ProgressPanel)
            return static_cast<QAccessibleValueInterface *>(this);
        return nullptr;
    }

    QVariant currentValue() const override { return m_progress ? m_progress->value() : 0; }
    void setCurrentValue(const QVariant &) override {} // shows progress, takes none
    QVariant maximumValue() const override { return m_progress ? m_progress->maximum() : 0; }
    QVariant minimumValue() const override { return m_progress ? m_progress->minimum() : 0; }
    QVariant minimumStepSize() const override { return 1; }

private:
    QPointer<StatusPanelBar> m_bar;
    QPointer<QProgressBar> m_progress;
    int m_panel;
};

class BarAccessible final : public QAccessibleWidget
{
public:
    explicit BarAccessible(StatusPanelBar *bar, QProgressBar *progress)
        : QAccessibleWidget(bar, QAccessible::StatusBar)
    {
        for (int i = 0; i < StatusPanelBar::PanelCount; ++i) {
            m_panels[i] = new PanelAccessible(bar, progress, i);
            m_ids[i] = QAccessible::registerAccessibleInterface(m_panels[i]);
        }
    }
    ~BarAccessible() override
    {
        for (QAccessible::Id id : m_ids)
            QAccessible::deleteAccessibleInterface(id);
    }

    int childCount() const override { return StatusPanelBar::PanelCount; }
    QAccessibleInterface *child(int index) const override
    {
        return index >= 0 && index < StatusPanelBar::PanelCount ? m_panels[index] : nullptr;
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        for (int i = 0; i < StatusPanelBar::PanelCount; ++i)
            if (m_panels[i] == child)
                return i;
        return -1;
    }
    QAccessibleInterface *childAt(int x, int y) const override
    {
        for (PanelAccessible *p : m_panels)
            if (p->rect().contains(x, y))
                return p;
        return nullptr;
    }

private:
    PanelAccessible *m_panels[StatusPanelBar::PanelCount];
    QAccessible::Id m_ids[StatusPanelBar::PanelCount];
};

QAccessibleInterface *barAccessible(const QString &className, QObject *object)
{
    if (className == QLatin1String("StatusPanelBar"))
        if (auto *bar = qobject_cast<StatusPanelBar *>(object))
            return new BarAccessible(bar, bar->progressBar());
    return nullptr;
}
} // namespace

const QColor StatusPanelBar::PlainColor(0, 128, 0);
const QColor StatusPanelBar::ErrorColor(255, 0, 0);

StatusPanelBar::StatusPanelBar(QProgressBar *progress, QWidget *parent)
    : QWidget(parent), m_progress(progress)
{
    setObjectName(QStringLiteral("sb_Main"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setMouseTracking(true); // the hand over a cut error says it can be clicked
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(barAccessible);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    connect(m_progress, &QProgressBar::valueChanged, this, [this](int value) {
        update(panelRect(ProgressPanel));
        if (QAccessibleInterface *panel = accessiblePanel(ProgressPanel)) {
            QAccessibleValueChangeEvent changed(panel, value);
            QAccessible::updateAccessibility(&changed);
        }
    });
    fitCountPanel();
    retranslateAccessible();
}

QString StatusPanelBar::progressName() const
{
    return tr("Scan progress", "pb_ScanProgress");
}

QAccessibleInterface *StatusPanelBar::accessiblePanel(int panel)
{
    // Nothing to tell, and no interfaces made, while no screen reader listens.
    if (!QAccessible::isActive())
        return nullptr;
    QAccessibleInterface *bar = QAccessible::queryAccessibleInterface(this);
    return bar ? bar->child(panel) : nullptr;
}

void StatusPanelBar::announce(int panel)
{
    if (QAccessibleInterface *iface = accessiblePanel(panel)) {
        QAccessibleEvent changed(iface, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&changed);
    }
}

void StatusPanelBar::retranslateAccessible()
{
    setAccessibleName(tr("Status bar", "sb_Main"));
    // The hidden widget that holds the value is on the bus too; it answers to the same name.
    m_progress->setAccessibleName(progressName());
    announce(ProgressPanel);
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
    if (event->type() == QEvent::LanguageChange)
        retranslateAccessible();
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

bool StatusPanelBar::errorCut() const
{
    return m_isError && displayedText(0) != m_texts[0];
}

QString StatusPanelBar::toolTipAt(const QPoint &pos) const
{
    if (!panelRect(0).contains(pos))
        return QString();
    // Tell that a click shows the cut error whole, where it can also be copied.
    if (errorCut())
        return m_texts[0] + QLatin1Char('\n') +
               tr("Click to read the whole message", "sb_Main.Hint");
    return m_texts[0];
}

void StatusPanelBar::mouseMoveEvent(QMouseEvent *event)
{
    const bool clickable = errorCut() && panelRect(0).contains(event->position().toPoint());
    if (clickable)
        setCursor(Qt::PointingHandCursor);
    else
        unsetCursor();
    QWidget::mouseMoveEvent(event);
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
    const bool changed = text != m_texts[0] || isError != m_isError;
    m_texts[0] = text;
    m_isError = isError;
    if (changed) {
        announce(0);
        if (isError)
            if (QAccessibleInterface *iface = accessiblePanel(0)) {
                // Errors are spoken even while the focus is elsewhere.
                QAccessibleEvent alert(iface, QAccessible::Alert);
                QAccessible::updateAccessibility(&alert);
            }
    }
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
    if (m_texts[panel] == text)
        return;
    m_texts[panel] = text;
    update(panelRect(panel));
    announce(panel);
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
