#include "FakeTwainControl.h"
#include "i18n/MessageTables.h"
#include "i18n/TLangDispatcher.h"
#include "i18n/TLangTranslator.h"
#include "mainwindow/ImageListPane.h"
#include "mainwindow/ScanAreaPane.h"
#include "mainwindow/ScanSettingsPane.h"
#include "mainwindow/StatusPanelBar.h"
#include "mainwindow/Tfrm_Main.h"
#include "scanner/NullTwainControl.h"
#include "session/ScanSession.h"
#include "settings/SettingsStore.h"
#include "widgets/UserPrompts.h"

#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QtGui/private/qguiapplication_p.h>
#include <QtGui/qpa/qplatformaccessibility.h>
#include <QtGui/qpa/qplatformintegration.h>
#include <algorithm>
#include <memory>

namespace {

// What a screen reader was told: the event, whom it is about, and that one's name then.
struct Heard
{
    QAccessible::Event type;
    QAccessible::Id id;
    QString name;
};
QList<Heard> heard;

void hear(QAccessibleEvent *event)
{
    QAccessibleInterface *iface = event->accessibleInterface();
    if (iface)
        heard.append({event->type(), QAccessible::uniqueId(iface), iface->text(QAccessible::Name)});
}

void collect(QAccessibleInterface *iface, QList<QAccessibleInterface *> &out)
{
    out << iface;
    for (int i = 0; i < iface->childCount(); ++i)
        if (QAccessibleInterface *child = iface->child(i))
            collect(child, out);
}

bool told(QAccessible::Event type, QAccessibleInterface *about, const QString &name)
{
    const QAccessible::Id id = QAccessible::uniqueId(about);
    return std::any_of(heard.cbegin(), heard.cend(), [&](const Heard &h) {
        return h.type == type && h.id == id && (name.isNull() || h.name == name);
    });
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void startsReadyInGreen();
    void errorsPaintRed();
    void longErrorReadable();
    void statusHeardByScreenReaders_data();
    void statusHeardByScreenReaders();
    void countPanelFitsThreeDigits_data();
    void countPanelFitsThreeDigits();
    void firstCloseWritesElevenValues();
    void restore_data();
    void restore();
    void feederBoxesRestoredInOrder_data();
    void feederBoxesRestoredInOrder();
    void badSettingsFileTolerated();
    void storedLanguageAppliesAtStart_data();
    void storedLanguageAppliesAtStart();
    void feederBoxEnablesDuplex();
    void startsBeforeSlowSearchEnds_data();
    void startsBeforeSlowSearchEnds();
    void searchKeepsScannerChoice();
    void rememberedScannerBeforeSearch_data();
    void rememberedScannerBeforeSearch();

private:
    static FakeTwainControl *slowControl(const QStringList &sources, int delayMs);
    static QList<bool> sourceCommandsEnabled(const Tfrm_Main &w);
    void writeSettings(const QByteArray &lines);
    std::unique_ptr<Tfrm_Main> start();
    static int countPixels(const QImage &image, const QRect &area, const QColor &color);

    QTemporaryDir m_dir;
    QString m_path;
};

void TestMainWindow::init()
{
    m_path = m_dir.filePath(QString::fromLatin1(QTest::currentTestFunction()) +
                            QString::fromLatin1(QTest::currentDataTag()) + ".conf");
    QFile::remove(m_path);
    SettingsStore::setDefaultFilePath(m_path);
}

void TestMainWindow::cleanup()
{
    TLangDispatcher::instance().setLanguage(QStringLiteral("English"));
    SettingsStore::setDefaultFilePath(QString());
}

void TestMainWindow::writeSettings(const QByteArray &lines)
{
    QFile f(m_path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("[General]\n" + lines);
}

std::unique_ptr<Tfrm_Main> TestMainWindow::start()
{
    auto w = std::make_unique<Tfrm_Main>(new NullTwainControl);
    w->show();
    return w;
}

int TestMainWindow::countPixels(const QImage &image, const QRect &area, const QColor &color)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            // Text is antialiased: count pixels close to the colour, not only exact ones.
            const QColor c = image.pixelColor(x, y);
            const int d = qAbs(c.red() - color.red()) + qAbs(c.green() - color.green()) +
                          qAbs(c.blue() - color.blue());
            if (d < 60)
                ++n;
        }
    return n;
}

void TestMainWindow::startsReadyInGreen()
{
    auto w = start();
    QCOMPARE(w->StatusText, QStringLiteral("Ready"));
    QVERIFY(!w->StatusIsError);
    QCOMPARE(w->scanSettings()->cmb_Sources->count(), 0);
    const QImage shot = w->sb_Main->grab().toImage();
    const QRect panel0 = w->sb_Main->panelRect(0);
    QVERIFY(countPixels(shot, panel0, StatusPanelBar::PlainColor) > 10);
    QCOMPARE(countPixels(shot, panel0, StatusPanelBar::ErrorColor), 0);
}

void TestMainWindow::errorsPaintRed()
{
    auto w = start();
    w->Mess(QStringLiteral("Paper jam"), true);
    QCOMPARE(w->StatusText, QStringLiteral("Paper jam"));
    QImage shot = w->sb_Main->grab().toImage();
    QVERIFY(countPixels(shot, w->sb_Main->panelRect(0), StatusPanelBar::ErrorColor) > 10);
    QCOMPARE(countPixels(shot, w->sb_Main->panelRect(0), StatusPanelBar::PlainColor), 0);
    // Nothing of the status spills into the other panels.
    QCOMPARE(countPixels(shot, w->sb_Main->panelRect(2), StatusPanelBar::ErrorColor), 0);

    w->Mess(QStringLiteral("Ready"));
    shot = w->sb_Main->grab().toImage();
    QCOMPARE(countPixels(shot, w->sb_Main->panelRect(0), StatusPanelBar::ErrorColor), 0);
}

void TestMainWindow::longErrorReadable()
{
    auto w = start();
    QStringList shown;
    UserPrompts::setResponder([&shown](const UserPrompts::Prompt &p) {
        shown << p.text;
        return UserPrompts::Answer{QMessageBox::Ok, {}};
    });
    const QString error = QStringLiteral(
        "The page file /home/user/Pictures/Scans/Pagora_12-8-2026 3-01-10 AM.jpg could not be "
        "written: No space left on device");
    QTest::ignoreMessage(QtWarningMsg, qPrintable(error)); // fails unless it is logged
    w->Mess(error, true);

    StatusPanelBar *bar = w->sb_Main;
    const QRect panel0 = bar->panelRect(0);
    QCOMPARE(panel0.width(), 250);
    const QString drawn = bar->displayedText(0);
    QVERIFY2(drawn.endsWith(QChar(0x2026)) && drawn.size() < error.size(), qPrintable(drawn));
    QVERIFY(error.startsWith(drawn.chopped(1)));
    QVERIFY(bar->fontMetrics().horizontalAdvance(drawn) < panel0.width());
    const QString tip = bar->toolTipAt(panel0.center());
    QVERIFY2(tip.startsWith(error) && tip.size() > error.size(), qPrintable(tip)); // and the hint
    QCOMPARE(bar->toolTipAt(bar->panelRect(2).center()), QString());

    // A click on the error shows it whole; on a plain status, nothing.
    QTest::mouseClick(bar, Qt::LeftButton, {}, panel0.center());
    QCOMPARE(shown, QStringList{error});
    w->Mess(QStringLiteral("Ready"));
    QTest::mouseClick(bar, Qt::LeftButton, {}, panel0.center());
    QCOMPARE(shown.size(), 1);
    UserPrompts::setResponder({});
}

void TestMainWindow::statusHeardByScreenReaders_data()
{
    QTest::addColumn<QByteArray>("lang");
    QTest::addColumn<QString>("ready");
    QTest::addColumn<QString>("letters"); // names are spoken in the window's language
    QTest::newRow("English") << QByteArray("English") << "Ready"
                             << "^[A-Za-z ]+$";
    QTest::newRow("Russian") << QByteArray("Russian") << "Ожидание"
                             << "^[А-Яа-яЁё ]+$";
}

void TestMainWindow::statusHeardByScreenReaders()
{
    QFETCH(QByteArray, lang);
    QFETCH(QString, ready);
    QFETCH(QString, letters);
    const QRegularExpression spoken(letters);
    writeSettings("Lang=" + lang + "\n");
    // As when a screen reader listens: the program tells, the handler hears.
    QPlatformAccessibility *platform =
        QGuiApplicationPrivate::platformIntegration()->accessibility();
    QVERIFY(platform);
    const QAccessible::UpdateHandler before = QAccessible::installUpdateHandler(hear);
    platform->setActive(true);
    heard.clear();
    const auto restore = qScopeGuard([before, platform] {
        platform->setActive(false);
        QAccessible::installUpdateHandler(before);
        heard.clear();
    });
    auto w = start();

    QList<QAccessibleInterface *> nodes;
    collect(QAccessible::queryAccessibleInterface(w.get()), nodes);
    const auto barAt = std::find_if(nodes.cbegin(), nodes.cend(), [](QAccessibleInterface *i) {
        return i->role() == QAccessible::StatusBar;
    });
    QVERIFY(barAt != nodes.cend());
    QAccessibleInterface *bar = *barAt;
    QVERIFY(!bar->state().invisible);
    QVERIFY2(spoken.match(bar->text(QAccessible::Name)).hasMatch(),
             qPrintable(bar->text(QAccessible::Name)));
    const auto panelNamed = [bar](QAccessible::Role role, const QString &name) {
        for (int i = 0; i < bar->childCount(); ++i) {
            QAccessibleInterface *c = bar->child(i);
            if (c && c->role() == role && !c->state().invisible &&
                (name.isNull() || c->text(QAccessible::Name) == name))
                return c;
        }
        return static_cast<QAccessibleInterface *>(nullptr);
    };
    QVERIFY(panelNamed(QAccessible::StaticText, ready));

    // The file count, as the image list words it.
    QSignalSpy counted(w->imageList(), &ImageListPane::countChanged);
    w->imageList()->lv_ImagesChange();
    QCOMPARE(counted.size(), 1);
    const QString count = counted.at(0).at(0).toString();
    QVERIFY(count.contains(QLatin1Char('0')));
    QVERIFY(panelNamed(QAccessible::StaticText, count));

    // An error is told whole, although the panel shows only its start.
    const QString error = QStringLiteral(
        "Paper jam in the document feeder. Remove the jammed sheet, then press Scan again.");
    QTest::ignoreMessage(QtWarningMsg, qPrintable(error));
    heard.clear();
    w->Mess(error, true);
    QVERIFY(w->sb_Main->displayedText(0) != error);
    QAccessibleInterface *status = panelNamed(QAccessible::StaticText, error);
    QVERIFY(status);
    QVERIFY(told(QAccessible::NameChanged, status, error));
    QVERIFY(spoken.match(status->text(QAccessible::Description)).hasMatch());
    heard.clear();
    w->Mess(ready);
    QVERIFY(told(QAccessible::NameChanged, status, ready));
    QVERIFY(status->text(QAccessible::Description).isEmpty());

    // The progress bar on the screen: named, with its value, its changes told.
    QAccessibleInterface *progress = panelNamed(QAccessible::ProgressBar, QString());
    QVERIFY(progress);
    QVERIFY2(spoken.match(progress->text(QAccessible::Name)).hasMatch(),
             qPrintable(progress->text(QAccessible::Name)));
    QVERIFY(progress->valueInterface());
    w->pb_ScanProgress->setValue(42);
    QCOMPARE(progress->valueInterface()->currentValue().toInt(), 42);
    QVERIFY(told(QAccessible::ValueChanged, progress, QString()));
    // Every progress bar of the window, shown or not, has a name.
    for (QAccessibleInterface *i : std::as_const(nodes))
        if (i->role() == QAccessible::ProgressBar)
            QVERIFY(spoken.match(i->text(QAccessible::Name)).hasMatch());
}

void TestMainWindow::countPanelFitsThreeDigits_data()
{
    QTest::addColumn<QString>("language");
    QTest::newRow("English") << "English";
    QTest::newRow("Russian") << "Russian";
}

void TestMainWindow::countPanelFitsThreeDigits()
{
    QFETCH(QString, language);
    auto w = start();
    QVERIFY(TLangDispatcher::instance().setLanguage(language));
    StatusPanelBar *bar = w->sb_Main;
    const QString count =
        QStringLiteral("999") + MessageTables::main().GetTextOrDefault(QStringLiteral("IDS_105"));
    bar->setPanelText(3, count);
    QCOMPARE(bar->displayedText(3), count); // "999 файлов" whole, not elided
    // The designed panels keep their widths; the count takes room from the right.
    QCOMPARE(bar->panelRect(0).width(), 250);
    QCOMPARE(bar->panelRect(1).width(), 150);
    QCOMPARE(bar->panelRect(2).width(), 193);
    QVERIFY(bar->panelRect(3).width() >= 50);
    QVERIFY(bar->panelRect(3).right() < bar->width());
}

void TestMainWindow::firstCloseWritesElevenValues()
{
    {
        auto w = start();
        w->close();
    }
    QSettings s(m_path, QSettings::IniFormat);
    QStringList keys = s.allKeys();
    keys.sort();
    QStringList expected = {"ADF",        "Destination", "Duplex", "FileName", "Format", "Mode",
                            "Resolution", "Scanner",     "Size",   "WHeight",  "WWidth"};
    expected.sort();
    QCOMPARE(keys, expected);
    QCOMPARE(s.value("Mode").toInt(), 2);
    QCOMPARE(s.value("Resolution").toInt(), 4);
    QCOMPARE(s.value("Size").toInt(), 1);
    QCOMPARE(s.value("Format").toInt(), 0);
    QCOMPARE(s.value("FileName").toString(), QStringLiteral("Pagora"));
    QCOMPARE(s.value("ADF").toString(), QStringLiteral("0"));
    QCOMPARE(s.value("Scanner").toInt(), -1);
    QVERIFY(s.value("WWidth").toInt() >= 790);
    QVERIFY(s.value("WHeight").toInt() >= 570);
}

void TestMainWindow::restore_data()
{
    QTest::addColumn<bool>("save");
    QTest::newRow("Save on") << true;
    QTest::newRow("Save off") << false;
}

void TestMainWindow::restore()
{
    QFETCH(bool, save);
    writeSettings(QByteArray("Save=") + (save ? "1" : "0") +
                  "\nUnits=1\nSkipBlank=1\nWWidth=1000\nWHeight=700\nMode=0\nResolution=2\n"
                  "Size=3\nFormat=1\nFileName=\"  scan \"\nDestination=/tmp/pages\n");
    auto w = start();
    // Window size, units and blank skipping come back whatever Save holds.
    QCOMPARE(w->width(), 1000);
    QCOMPARE(w->height(), 700);
    QCOMPARE(w->scanArea()->UnitsCode, 2);
    QCOMPARE(w->session()->gSkipBlank(), true);
    QCOMPARE(w->scanSettings()->cmb_Mode->currentIndex(), save ? 0 : 2);
    QCOMPARE(w->scanSettings()->cmb_Resolution->currentIndex(), save ? 2 : 4);
    QCOMPARE(w->scanSettings()->cmb_Size->currentIndex(), save ? 3 : 1);
    QCOMPARE(w->scanSettings()->cmb_Format->currentIndex(), save ? 1 : 0);
    QCOMPARE(w->scanSettings()->edt_FileName->text(),
             save ? QStringLiteral("  scan ") : QStringLiteral("Pagora"));
    if (save)
        QCOMPARE(w->scanSettings()->edt_Destination->text(), QStringLiteral("/tmp/pages"));
    else
        QVERIFY(w->scanSettings()->edt_Destination->text() != QStringLiteral("/tmp/pages"));
}

void TestMainWindow::feederBoxesRestoredInOrder_data()
{
    QTest::addColumn<QByteArray>("lines");
    QTest::addColumn<bool>("adf");
    QTest::addColumn<bool>("duplexEnabled");
    QTest::addColumn<bool>("duplexChecked");
    QTest::newRow("both on") << QByteArray("ADF=1\nDuplex=1\n") << true << true << true;
    QTest::newRow("feeder only") << QByteArray("ADF=1\nDuplex=0\n") << true << true << false;
    // Duplex means nothing without the feeder.
    QTest::newRow("duplex alone") << QByteArray("ADF=0\nDuplex=1\n") << false << false << false;
    QTest::newRow("both off") << QByteArray("ADF=0\nDuplex=0\n") << false << false << false;
}

void TestMainWindow::feederBoxesRestoredInOrder()
{
    QFETCH(QByteArray, lines);
    QFETCH(bool, adf);
    QFETCH(bool, duplexEnabled);
    QFETCH(bool, duplexChecked);
    writeSettings("Save=1\n" + lines);
    auto w = start();
    QCOMPARE(w->scanSettings()->cb_ADF->isChecked(), adf);
    QCOMPARE(w->scanSettings()->cb_Duplex->isEnabled(), duplexEnabled);
    QCOMPARE(w->scanSettings()->cb_Duplex->isChecked(), duplexChecked);
}

void TestMainWindow::badSettingsFileTolerated()
{
    writeSettings("Save=yes please\nUnits=abc\nSkipBlank=2.5\nWWidth=-40\nWHeight=9999999999\n"
                  "Lang=Klingon\nScanner=7\nMode=3\nResolution=-1\nSize=16\nFormat=x\n"
                  "FileName=a, b\nADF=maybe\n");
    {
        QSettings raw(m_path, QSettings::IniFormat);
        raw.setValue("Save", 1); // the group is restored, from wrong values
    }
    auto w = start();
    QCOMPARE(w->StatusText, QStringLiteral("Ready"));
    QCOMPARE(w->scanArea()->UnitsCode, 1);
    QCOMPARE(w->session()->gSkipBlank(), false);
    QVERIFY(w->width() >= 790);
    QVERIFY(w->height() >= 570);
    QCOMPARE(TLangDispatcher::instance().Language(), QStringLiteral("English"));
    QCOMPARE(w->scanSettings()->cmb_Sources->currentIndex(), -1);
    QCOMPARE(w->scanSettings()->cmb_Mode->currentIndex(), 2);
    QCOMPARE(w->scanSettings()->cmb_Resolution->currentIndex(), 4);
    QCOMPARE(w->scanSettings()->cmb_Size->currentIndex(), 1);
    QCOMPARE(w->scanSettings()->cmb_Format->currentIndex(), 0);
    QCOMPARE(w->scanSettings()->edt_FileName->text(), QStringLiteral("Pagora"));
    QCOMPARE(w->scanSettings()->cb_ADF->isChecked(), false);
}

void TestMainWindow::storedLanguageAppliesAtStart_data()
{
    QTest::addColumn<QByteArray>("lang");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("group");
    QTest::newRow("Russian") << QByteArray("Russian") << "Ожидание"
                             << "Источник";
    QTest::newRow("English") << QByteArray("English") << "Ready"
                             << "Source";
    QTest::newRow("unknown") << QByteArray("German") << "Ready"
                             << "Source";
}

void TestMainWindow::storedLanguageAppliesAtStart()
{
    QFETCH(QByteArray, lang);
    QFETCH(QString, status);
    QFETCH(QString, group);
    writeSettings("Lang=" + lang + "\n");
    auto w = start();
    QCOMPARE(w->StatusText, status);
    QCOMPARE(w->scanSettings()->gb_Source->title(), group);
}

void TestMainWindow::feederBoxEnablesDuplex()
{
    auto w = start();
    QVERIFY(!w->scanSettings()->cb_Duplex->isEnabled());
    w->scanSettings()->cb_ADF->click();
    QVERIFY(w->scanSettings()->cb_Duplex->isEnabled());
    w->scanSettings()->cb_Duplex->click();
    QVERIFY(w->scanSettings()->cb_Duplex->isChecked());
    w->scanSettings()->cb_ADF->click();
    QVERIFY(!w->scanSettings()->cb_Duplex->isEnabled());
    QVERIFY(!w->scanSettings()->cb_Duplex->isChecked());
}

FakeTwainControl *TestMainWindow::slowControl(const QStringList &sources, int delayMs)
{
    auto *fake = new FakeTwainControl;
    fake->setSources(sources);
    fake->setDiscoveryDelay(delayMs);
    return fake;
}

// Preview, Scan, the menu's Preview, Scan and Copy, and Refresh.
QList<bool> TestMainWindow::sourceCommandsEnabled(const Tfrm_Main &w)
{
    return {w.scanSettings()->ToolButtonPreview->isEnabled(),
            w.scanSettings()->ToolButtonScan->isEnabled(),
            w.Action2->isEnabled(),
            w.Action1->isEnabled(),
            w.Action3->isEnabled(),
            w.ActionRefreshSources->isEnabled()};
}

void TestMainWindow::startsBeforeSlowSearchEnds_data()
{
    QTest::addColumn<QStringList>("sources");
    QTest::addColumn<int>("startResult");
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QString>("searching");
    QTest::addColumn<int>("selected");
    const QStringList three = {"Flatbed A", "Network B", "Test C"};
    const QString english = QStringLiteral("Searching for scanners…");
    QTest::newRow("stored choice")
        << three << 1 << QByteArray("Save=1\nScanner=2\n") << english << 2;
    QTest::newRow("Save off: the control's source")
        << three << 1 << QByteArray("Save=0\nScanner=2\n") << english << 0;
    QTest::newRow("stored beyond the list")
        << three << 1 << QByteArray("Save=1\nScanner=3\n") << english << 0;
    QTest::newRow("Russian") << three << 1 << QByteArray("Save=1\nScanner=1\nLang=Russian\n")
                             << QStringLiteral("Поиск сканеров…") << 1;
    QTest::newRow("nothing found")
        << QStringList() << 1 << QByteArray("Save=1\nScanner=0\n") << english << -1;
    QTest::newRow("no scanner interface")
        << three << 0 << QByteArray("Save=1\nScanner=1\n") << english << -1;
}

void TestMainWindow::startsBeforeSlowSearchEnds()
{
    QFETCH(QStringList, sources);
    QFETCH(int, startResult);
    QFETCH(QByteArray, settings);
    QFETCH(QString, searching);
    QFETCH(int, selected);
    writeSettings(settings);
    FakeTwainControl *fake = slowControl(sources, 300);
    fake->setStartDeviceResult(startResult);
    Tfrm_Main w(fake);
    w.show();

    // Shown at once, saying what it waits for, with nothing to pick and no command to run.
    QVERIFY(w.isVisible());
    QCOMPARE(w.scanSettings()->cmb_Sources->count(), 1);
    QCOMPARE(w.scanSettings()->cmb_Sources->currentText(), searching);
    QCOMPARE(w.StatusText, searching);
    const auto *model = qobject_cast<QStandardItemModel *>(w.scanSettings()->cmb_Sources->model());
    QVERIFY(model && !(model->item(0)->flags() & Qt::ItemIsEnabled));
    QCOMPARE(sourceCommandsEnabled(w), QList<bool>(6, false));
    w.scanSettings()->Scan1Click();
    QVERIFY(!fake->calls().contains(QStringLiteral("OpenDataSource")));

    const QString ready = MessageTables::main().GetTextOrDefault(QStringLiteral("IDS_6"));
    QTRY_COMPARE_WITH_TIMEOUT(w.StatusText, ready, 5000);
    QVERIFY(!w.StatusIsError);
    QCOMPARE(w.scanSettings()->cmb_Sources->count(), startResult ? sources.size() : 0);
    QCOMPARE(w.scanSettings()->cmb_Sources->currentIndex(), selected);
    if (selected >= 0)
        QCOMPARE(w.scanSettings()->cmb_Sources->currentText(), sources.at(selected));
    QCOMPARE(sourceCommandsEnabled(w), QList<bool>(6, true));
}

void TestMainWindow::searchKeepsScannerChoice()
{
    writeSettings("Save=1\nScanner=1\n");
    const auto storedScanner = [this] {
        return QSettings(m_path, QSettings::IniFormat).value("Scanner").toInt();
    };
    {
        // Closed before the first list came: the searching item is no choice.
        Tfrm_Main w(slowControl({"A", "B"}, 60000));
        w.show();
        w.close();
        QVERIFY(!w.isVisible());
    }
    QCOMPARE(storedScanner(), 1);
    {
        FakeTwainControl *fake = slowControl({"A", "B"}, 50);
        Tfrm_Main w(fake);
        w.show();
        QTRY_VERIFY(w.scanSettings()->ToolButtonScan->isEnabled());
        QCOMPARE(w.scanSettings()->cmb_Sources->currentText(), QStringLiteral("B"));

        // A new scanner ahead of the chosen one: the choice follows the name.
        fake->setSources({"New", "A", "B"});
        w.ActionRefreshSources->trigger();
        QCOMPARE(w.scanSettings()->cmb_Sources->count(), 1);
        QVERIFY(!w.scanSettings()->ToolButtonScan->isEnabled());
        QTRY_VERIFY(w.scanSettings()->ToolButtonScan->isEnabled());
        QCOMPARE(w.scanSettings()->cmb_Sources->count(), 3);
        QCOMPARE(w.scanSettings()->cmb_Sources->currentText(), QStringLiteral("B"));
        QCOMPARE(fake->sourceIndex(), 2);

        // Closed during a refresh: the choice from before it is stored.
        fake->setDiscoveryDelay(60000);
        w.ActionRefreshSources->trigger();
        QCOMPARE(w.scanSettings()->cmb_Sources->count(), 1);
        w.close();
    }
    QCOMPARE(storedScanner(), 2);
}

void TestMainWindow::rememberedScannerBeforeSearch_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QStringList>("found"); // what the full search finds
    QTest::addColumn<bool>("opens");        // the remembered device opens
    QTest::addColumn<bool>("scanMeanwhile");
    QTest::addColumn<bool>("readyEarly"); // commands enabled before the search ends
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("storedDevice");
    QTest::addColumn<int>("storedScanner");
    QTest::addColumn<bool>("closeEarly"); // closed before the search ends
    const QStringList three = {"A", "B", "C"};
    // "Scanner" points elsewhere: the device name decides, not the stored position.
    const QByteArray rememberC = "Save=1\nScanner=0\nScannerDevice=C\n";
    QTest::newRow("opens at once") << rememberC << three << true << false << true << three << "C"
                                   << "C" << 2 << false;
    QTest::newRow("scan running when the list comes")
        << rememberC << three << true << true << true << three << "C"
        << "C" << 2 << false;
    QTest::newRow("missed by the search: kept")
        << rememberC << QStringList{"A", "B"} << true << false << true << three << "C"
        << "C" << 2 << false;
    // Its place in a list of one is no choice to store: what was stored stays.
    QTest::newRow("closed before the list is complete")
        << QByteArray("Save=1\nScanner=1\nScannerDevice=C\n") << three << true << false << true
        << QStringList{"C"} << "C"
        << "C" << 1 << true;
    QTest::newRow("does not open: search, then the stored position")
        << QByteArray("Save=1\nScanner=1\nScannerDevice=C\n") << three << false << false << false
        << three << "B"
        << "B" << 1 << false;
    QTest::newRow("choices not restored: search as before")
        << QByteArray("Save=0\nScanner=1\nScannerDevice=C\n") << three << true << false << false
        << three << "A"
        << "C" << 0 << false;
}

void TestMainWindow::rememberedScannerBeforeSearch()
{
    QFETCH(QByteArray, settings);
    QFETCH(QStringList, found);
    QFETCH(bool, opens);
    QFETCH(bool, scanMeanwhile);
    QFETCH(bool, readyEarly);
    QFETCH(QStringList, listed);
    QFETCH(QString, chosen);
    QFETCH(QString, storedDevice);
    QFETCH(int, storedScanner);
    QFETCH(bool, closeEarly);
    writeSettings(settings);
    FakeTwainControl *fake = slowControl(found, -1); // the search answers when told
    fake->setRememberedOpenFails(!opens);
    fake->setAutoPlay(false);
    {
        Tfrm_Main w(fake);
        w.scanSettings()->edt_Destination->setText(m_dir.path());
        w.show();
        QTRY_VERIFY(fake->calls().contains(QStringLiteral("ListSources")));
        if (readyEarly) {
            QTRY_COMPARE(sourceCommandsEnabled(w), QList<bool>(6, true));
            QCOMPARE(w.scanSettings()->cmb_Sources->count(), 1);
            QCOMPARE(w.scanSettings()->cmb_Sources->currentText(), chosen);
            QCOMPARE(w.StatusText, MessageTables::main().GetTextOrDefault(QStringLiteral("IDS_6")));
        } else {
            QCOMPARE(sourceCommandsEnabled(w), QList<bool>(6, false));
            QCOMPARE(w.StatusText, ScanSession::searchingText());
        }
        if (scanMeanwhile) {
            fake->queueBatch({FakeTwainControl::failure(12, QStringLiteral("Cancelled."))});
            w.scanSettings()->Scan1Click();
            QVERIFY(w.session()->busy());
            fake->clearCalls();
        }

        if (!closeEarly) {
            QVERIFY(fake->answerDiscovery());
            if (readyEarly) // the control follows the device by its name
                QCOMPARE(fake->GetSourceDeviceName(fake->sourceIndex()), chosen);
        }
        QCOMPARE(w.scanSettings()->cmb_Sources->count(), listed.size());
        for (int i = 0; i < listed.size(); ++i)
            QCOMPARE(w.scanSettings()->cmb_Sources->itemText(i), listed.at(i));
        QCOMPARE(w.scanSettings()->cmb_Sources->currentText(), chosen);
        if (scanMeanwhile) {
            // The batch goes on with the device it opened, to its own end.
            QVERIFY(w.session()->busy());
            QVERIFY(!fake->calls().contains(QStringLiteral("OpenDataSource")));
            QVERIFY(!fake->calls().contains(QStringLiteral("StopDevice")));
            QVERIFY(fake->deliverNext());
            QTRY_VERIFY(!w.session()->busy());
        }
        QTRY_COMPARE(sourceCommandsEnabled(w), QList<bool>(6, true));
        QCOMPARE(w.scanSettings()->cmb_Sources->currentText(), chosen);
        w.close();
        QVERIFY(!w.isVisible());
    }
    QSettings stored(m_path, QSettings::IniFormat);
    QCOMPARE(stored.value("ScannerDevice").toString(), storedDevice);
    QCOMPARE(stored.value("Scanner").toInt(), storedScanner);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
