#include "about/Tfrm_About.h"
#include "gallery/Tfrm_Preview.h"
#include "i18n/TLangDispatcher.h"
#include "mainwindow/Tfrm_Main.h"
#include "scanner/NullTwainControl.h"
#include "settings/Tfrm_Settings.h"
#include "support/FourWindows.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTest>
#include <QToolButton>
#include <memory>

// The four windows on a screen of twice the usual density (QT_SCALE_FACTOR=2),
// in both languages: no caption cut short, no picture drawn blurred from a
// smaller one. PAGORA_SCREENSHOTS names a folder to keep what was looked at.
class TestWindowLayout : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void nothingCut_data();
    void nothingCut();

private:
    std::unique_ptr<FourWindows> m_windows;
};

void TestWindowLayout::initTestCase()
{
    m_windows = std::make_unique<FourWindows>();
}

void TestWindowLayout::cleanupTestCase()
{
    TLangDispatcher::instance().setLanguage(QStringLiteral("English"));
    m_windows.reset();
}

// What a button's caption and icon take, without the style's cosmetic padding
// (a push button's least width): less than this and the caption is cut.
static QSize room(const QAbstractButton *button)
{
    const QStyle *style = button->style();
    const QFontMetrics fm = button->fontMetrics();
    QString text = button->text();
    text.replace(QLatin1String("&&"), QStringLiteral("\x1f")).remove(QLatin1Char('&'));
    text.replace(QChar(0x1f), QLatin1Char('&'));
    int width = fm.horizontalAdvance(text);
    const auto *tool = qobject_cast<const QToolButton *>(button);
    if (!button->icon().isNull() && (!tool || tool->toolButtonStyle() != Qt::ToolButtonTextOnly))
        width += button->iconSize().width() + 4;
    if (qobject_cast<const QCheckBox *>(button))
        width += style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, button) +
                 style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, button);
    else if (tool && tool->popupMode() == QToolButton::MenuButtonPopup)
        width += style->pixelMetric(QStyle::PM_MenuButtonIndicator, nullptr, button);
    else if (qobject_cast<const QPushButton *>(button))
        width += style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button); // both sides
    return QSize(width, fm.height());
}

void TestWindowLayout::nothingCut_data()
{
    QTest::addColumn<QString>("win");
    QTest::addColumn<QString>("language");
    for (const char *win : {"main", "about", "settings", "preview"})
        for (const char *language : {"English", "Russian"})
            QTest::addRow("%s, %s", win, language)
                << QString::fromLatin1(win) << QString::fromLatin1(language);
}

void TestWindowLayout::nothingCut()
{
    QFETCH(QString, win);
    QFETCH(QString, language);
    QVERIFY(TLangDispatcher::instance().setLanguage(language));
    QWidget *w = m_windows->byName(win);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    // The device search ends on its own thread and its status text changes the
    // layout: measure what the user sees once it has settled, not a layout in flux.
    QTRY_VERIFY(m_windows->main->session()->state() != ScanSession::State::Searching);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    QCOMPARE(w->devicePixelRatio(), 2.0);

    const QPixmap shot = w->grab();
    QCOMPARE(shot.devicePixelRatio(), 2.0);
    const QString keep = qEnvironmentVariable("PAGORA_SCREENSHOTS");
    if (!keep.isEmpty())
        QVERIFY(shot.save(QDir(keep).filePath(QStringLiteral("%1-%2.png").arg(win, language))));

    QStringList faults;
    for (QWidget *child : w->findChildren<QWidget *>()) {
        if (!child->isVisibleTo(w) || child->window() != w)
            continue;
        const QString what =
            QStringLiteral("%1 (%2)").arg(child->objectName(), child->metaObject()->className());
        const QSize size = child->size();
        QSize needed;
        if (auto *label = qobject_cast<QLabel *>(child)) {
            const QPixmap picture = label->pixmap();
            if (!picture.isNull() && picture.devicePixelRatio() < w->devicePixelRatio())
                faults << what + QStringLiteral(": picture drawn from a smaller one");
            if (label->wordWrap())
                needed = QSize(0, label->heightForWidth(size.width()));
            else if (!label->text().isEmpty())
                needed = label->sizeHint();
        } else if (auto *button = qobject_cast<QAbstractButton *>(child)) {
            // The field's folder button is sized by the field, like its icon.
            const auto *tool = qobject_cast<QToolButton *>(child);
            const bool iconOnly = tool && tool->toolButtonStyle() == Qt::ToolButtonIconOnly;
            if (!button->text().isEmpty() && !iconOnly &&
                !qobject_cast<QLineEdit *>(child->parentWidget()))
                needed = room(button);
        } else if (auto *combo = qobject_cast<QComboBox *>(child)) {
            // The closed box shows its longest entry whole, not only the open list.
            int widest = 0;
            for (int i = 0; i < combo->count(); ++i)
                widest = qMax(widest, combo->fontMetrics().horizontalAdvance(combo->itemText(i)));
            QStyleOptionComboBox option;
            option.initFrom(combo);
            option.editable = combo->isEditable();
            const QSize contents(widest, combo->fontMetrics().height());
            needed = QSize(combo->style()
                               ->sizeFromContents(QStyle::CT_ComboBox, &option, contents, combo)
                               .width(),
                           0);
        } else if (auto *group = qobject_cast<QGroupBox *>(child)) {
            // The title needs its text's width inside the frame.
            needed = QSize(group->fontMetrics().horizontalAdvance(group->title()), 0);
        }
        if (needed.width() > size.width() || needed.height() > size.height())
            faults << QStringLiteral("%1: %2 x %3 shown, %4 x %5 needed")
                          .arg(what)
                          .arg(size.width())
                          .arg(size.height())
                          .arg(needed.width())
                          .arg(needed.height());
        // A control reaching out of its parent is cut by it.
        const QWidget *parent = child->parentWidget();
        if (parent && parent != w && !parent->rect().contains(child->geometry()) &&
            !qobject_cast<const QAbstractScrollArea *>(parent->parentWidget()))
            faults << what + QStringLiteral(": reaches out of ") + parent->objectName();
    }
    w->hide();
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
}

int main(int argc, char **argv)
{
    // Before the application exists: the scale applies to every screen.
    qputenv("QT_SCALE_FACTOR", "2");
    QApplication app(argc, argv);
    TestWindowLayout test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_windowlayout.moc"
