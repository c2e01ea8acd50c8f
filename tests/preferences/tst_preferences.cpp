#include "gallery/GalleryTestSupport.h"
#include "gallery/PdfExportJob.h"
#include "i18n/TLangDispatcher.h"
#include "mainwindow/ImageListPane.h"
#include "mainwindow/ScanAreaPane.h"
#include "mainwindow/StatusPanelBar.h"
#include "mainwindow/Tfrm_Main.h"
#include "pages/PageRecogniser.h"
#include "scanner/NullTwainControl.h"
#include "settings/SettingsStore.h"
#include "settings/Tfrm_Settings.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QShowEvent>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QtTest/qtestspontaneevent.h>
#include <memory>

namespace {

// What the store holds, read straight from the file.
QVariantMap storedValues(const QString &file)
{
    QVariantMap values;
    QSettings settings(file, QSettings::IniFormat);
    for (const QString &key : settings.allKeys())
        values.insert(key, settings.value(key));
    return values;
}

} // namespace

// The preferences dialog: what it loads, what OK stores and applies to the
// main window, what Cancel leaves alone, and the language switch.
class tst_Preferences : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void layout();
    void firstShowOnFreshStore();
    void okFromTheMenu();
    void okWritesAndApplies_data();
    void okWritesAndApplies();
    void showLoadsStore_data();
    void showLoadsStore();
    void unitsReachRulersAndReadout();
    void cancelWritesNothing();
    void absentValuesKeepControlState();
    void pickedLanguageSwitchesAtOnce();
    void cancelledLanguageStaysActive_data();
    void cancelledLanguageStaysActive();
    void restoringMinimisedKeepsEdits();
    void recognitionPreferences_data();
    void recognitionPreferences();
    void offByDefaultSwitches_data();
    void offByDefaultSwitches();
    void recognitionTimeLimit_data();
    void recognitionTimeLimit();

private:
    void showDialog();
    void pickLanguage(const QString &name);

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_store;
    std::unique_ptr<Tfrm_Main> m_main;
    Tfrm_Settings *m_dialog = nullptr;
};

void tst_Preferences::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_store = m_dir->filePath(QStringLiteral("settings.conf"));
    SettingsStore::setDefaultFilePath(m_store);
    m_main = std::make_unique<Tfrm_Main>(new NullTwainControl);
    m_dialog = new Tfrm_Settings(m_main.get());
    m_main->setWindows(nullptr, m_dialog, nullptr);
}

void tst_Preferences::cleanup()
{
    if (m_dialog->isVisible())
        m_dialog->reject();
    m_main.reset();
    qunsetenv("TESSDATA_PREFIX");
    TLangDispatcher::instance().setLanguage(QStringLiteral("English"));
    SettingsStore::setDefaultFilePath(QString());
    m_dir.reset();
}

void tst_Preferences::showDialog()
{
    m_dialog->show();
}

void tst_Preferences::pickLanguage(const QString &name)
{
    // As the user does it: from the keyboard, which raises "activated".
    m_dialog->cmb_Lang->setFocus();
    const int target = m_dialog->cmb_Lang->findText(name);
    QVERIFY(target >= 0);
    while (m_dialog->cmb_Lang->currentIndex() != target)
        QTest::keyClick(m_dialog->cmb_Lang,
                        m_dialog->cmb_Lang->currentIndex() < target ? Qt::Key_Down : Qt::Key_Up);
}

void tst_Preferences::layout()
{
    showDialog();
    QCOMPARE(m_dialog->size(), QSize(359, 456));
    QCOMPARE(m_dialog->minimumSize(), m_dialog->maximumSize());
    // Captions are never cut short, whatever the platform font.
    for (QCheckBox *box : {m_dialog->cb_Update, m_dialog->cb_Save, m_dialog->cb_SkipBlank}) {
        QVERIFY(box->width() >= 217);
        QVERIFY(box->width() >= box->sizeHint().width());
        QVERIFY(box->geometry().right() < m_dialog->GroupBox1->width());
    }
    for (auto [box, group] : {std::pair{m_dialog->cb_Searchable, m_dialog->GroupBox2},
                              std::pair{m_dialog->cb_PdfA, m_dialog->GroupBox4}}) {
        QVERIFY(box->width() >= box->sizeHint().width());
        QVERIFY(box->geometry().right() < group->width());
        QVERIFY(box->geometry().bottom() < group->height());
    }
    // The time limit's caption ends before its box; both inside the group.
    QVERIFY(m_dialog->Label4->geometry().right() < m_dialog->spn_OcrTimeLimit->x());
    QVERIFY(m_dialog->GroupBox2->rect().contains(m_dialog->spn_OcrTimeLimit->geometry()));
    QVERIFY(m_dialog->GroupBox2->geometry().bottom() < m_dialog->GroupBox4->y());
    for (QCheckBox *box : {m_dialog->cb_Upright, m_dialog->cb_Straighten, m_dialog->cb_Crop}) {
        QVERIFY(box->width() >= box->sizeHint().width());
        QVERIFY(box->geometry().right() < m_dialog->GroupBox3->width());
        QVERIFY(box->geometry().bottom() < m_dialog->GroupBox3->height());
    }
    QVERIFY(m_dialog->GroupBox4->geometry().bottom() < m_dialog->GroupBox3->y());
    QVERIFY(m_dialog->GroupBox3->geometry().bottom() < m_dialog->height());
    QVERIFY(m_dialog->btn_OK->isDefault());

    // Tab order: OK, Cancel, then the groups' controls (the recognition language
    // only while recognition is on).
    const QList<QWidget *> order = {
        m_dialog->btn_OK,       m_dialog->btn_Cancel,    m_dialog->cb_Save,
        m_dialog->cb_SkipBlank, m_dialog->cmb_Units,     m_dialog->cmb_Lang,
        m_dialog->cb_Update,    m_dialog->cb_Searchable, m_dialog->spn_OcrTimeLimit,
        m_dialog->cb_PdfA,      m_dialog->cb_Upright,    m_dialog->cb_Straighten,
        m_dialog->cb_Crop};
    m_dialog->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_dialog));
    m_dialog->btn_OK->setFocus();
    for (int i = 0; i < order.size(); ++i) {
        QCOMPARE(QApplication::focusWidget(), order[i]);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(QApplication::focusWidget(), order.first());

    // Escape cancels.
    QTest::keyClick(m_dialog, Qt::Key_Escape);
    QVERIFY(!m_dialog->isVisible());
    QCOMPARE(m_dialog->result(), int(QDialog::Rejected));
}

void tst_Preferences::firstShowOnFreshStore()
{
    showDialog();
    QCOMPARE(m_dialog->windowTitle(), QStringLiteral("Settings"));
    QCOMPARE(m_dialog->cmb_Lang->currentText(), QStringLiteral("English"));
    QCOMPARE(m_dialog->cmb_Lang->count(), 2);
    QCOMPARE(m_dialog->cmb_Lang->itemText(1), QStringLiteral("Russian"));
    QCOMPARE(m_dialog->cmb_Units->currentText(), QStringLiteral("(in) inch"));
    QCOMPARE(m_dialog->cmb_Units->itemText(1), QStringLiteral("(mm) millimeter"));
    QVERIFY(!m_dialog->cb_Update->isChecked());
    QVERIFY(!m_dialog->cb_Save->isChecked());
    QVERIFY(!m_dialog->cb_SkipBlank->isChecked());
    QCOMPARE(m_dialog->cb_Update->text(), QStringLiteral("Check for updates at startup"));
    QCOMPARE(m_dialog->cb_Save->text(), QStringLiteral("Save scanner and image preferences"));
    QCOMPARE(m_dialog->cb_SkipBlank->text(), QStringLiteral("Skip blank pages (ADF)"));
    QCOMPARE(m_dialog->GroupBox1->title(), QStringLiteral("Main settings"));
    QVERIFY(storedValues(m_store).isEmpty()); // showing reads only
}

void tst_Preferences::okFromTheMenu()
{
    // Settings, "&Preferences...", OK on a fresh installation.
    bool modal = false;
    QTimer::singleShot(0, this, [&] {
        modal = QApplication::activeModalWidget() == m_dialog;
        QTest::mouseClick(m_dialog->btn_OK, Qt::LeftButton);
    });
    QCOMPARE(m_main->Action4->text(), QStringLiteral("&Preferences..."));
    m_main->Action4->trigger();
    QVERIFY(modal);
    QCOMPARE(m_dialog->result(), int(QDialog::Accepted));

    const QVariantMap expected = {
        {"Lang", "English"}, {"Units", 0}, {"Save", 0}, {"SkipBlank", 0}, {"Update", 0}};
    const QVariantMap stored = storedValues(m_store);
    QCOMPARE(stored.keys(), expected.keys());
    for (auto it = expected.cbegin(); it != expected.cend(); ++it)
        QCOMPARE(stored.value(it.key()).toString(), it.value().toString());
}

void tst_Preferences::okWritesAndApplies_data()
{
    QTest::addColumn<int>("units");
    QTest::addColumn<bool>("save");
    QTest::addColumn<bool>("skip");
    QTest::addColumn<bool>("update");

    QTest::newRow("millimetres, skip blank") << 1 << false << true << false;
    QTest::newRow("inches, save and update") << 0 << true << false << true;
    QTest::newRow("all on") << 1 << true << true << true;
}

void tst_Preferences::okWritesAndApplies()
{
    QFETCH(int, units);
    QFETCH(bool, save);
    QFETCH(bool, skip);
    QFETCH(bool, update);

    // The main window starts from the opposite state, so each change shows.
    m_main->scanArea()->UnitsCode = units == 0 ? 2 : 1;
    m_main->session()->setSkipBlank(!skip);

    showDialog();
    m_dialog->cmb_Units->setCurrentIndex(units);
    m_dialog->cb_Save->setChecked(save);
    m_dialog->cb_SkipBlank->setChecked(skip);
    m_dialog->cb_Update->setChecked(update);
    QTest::mouseClick(m_dialog->btn_OK, Qt::LeftButton);
    QVERIFY(!m_dialog->isVisible());

    const QVariantMap stored = storedValues(m_store);
    QCOMPARE(stored.size(), 5);
    QCOMPARE(stored.value("Lang").toString(), QStringLiteral("English"));
    QCOMPARE(stored.value("Units").toInt(), units);
    QCOMPARE(stored.value("Save").toInt(), int(save));
    QCOMPARE(stored.value("SkipBlank").toInt(), int(skip));
    QCOMPARE(stored.value("Update").toInt(), int(update));

    // The rulers, the size read-out and the next page read these.
    QCOMPARE(m_main->scanArea()->UnitsCode, units + 1);
    QCOMPARE(m_main->session()->gSkipBlank(), skip);

    // Unchanged and OK again: all five are written again.
    QFile::remove(m_store);
    showDialog();
    QTest::mouseClick(m_dialog->btn_OK, Qt::LeftButton);
    QCOMPARE(storedValues(m_store), stored);
}

void tst_Preferences::showLoadsStore_data()
{
    QTest::addColumn<QString>("lang");
    QTest::addColumn<QString>("units"); // as written in the file
    QTest::addColumn<QString>("expectedLang");
    QTest::addColumn<int>("expectedUnits");

    QTest::newRow("Russian, millimetres") << "Russian"
                                          << "1"
                                          << "Russian" << 1;
    QTest::newRow("English, inches") << "English"
                                     << "0"
                                     << "English" << 0;
    // Values no entry matches keep the current entry.
    QTest::newRow("unknown language, units out of range") << "German"
                                                          << "5"
                                                          << "English" << 0;
    QTest::newRow("units not a number") << "Russian"
                                        << "abc"
                                        << "Russian" << 0;
}

void tst_Preferences::showLoadsStore()
{
    QFETCH(QString, lang);
    QFETCH(QString, units);
    QFETCH(QString, expectedLang);
    QFETCH(int, expectedUnits);

    {
        QSettings settings(m_store, QSettings::IniFormat);
        settings.setValue("Lang", lang);
        settings.setValue("Units", units);
        settings.setValue("Save", 1);
        settings.setValue("SkipBlank", 0);
        settings.setValue("Update", 1);
    }
    showDialog();
    QCOMPARE(m_dialog->cmb_Lang->currentText(), expectedLang);
    QCOMPARE(m_dialog->cmb_Units->currentIndex(), expectedUnits);
    QVERIFY(m_dialog->cb_Save->isChecked());
    QVERIFY(!m_dialog->cb_SkipBlank->isChecked());
    QVERIFY(m_dialog->cb_Update->isChecked());
    // Selecting the stored name from code does not switch the interface.
    QCOMPARE(TLangDispatcher::instance().Language(), QStringLiteral("English"));
    QCOMPARE(m_dialog->windowTitle(), QStringLiteral("Settings"));
}

void tst_Preferences::unitsReachRulersAndReadout()
{
    m_main->scanArea()->DrawRuler(20.78f);
    QCOMPARE(m_main->scanArea()->pnl_Spacer->text(), QStringLiteral("in"));
    showDialog();
    m_dialog->cmb_Units->setCurrentIndex(1);
    QTest::mouseClick(m_dialog->btn_OK, Qt::LeftButton);
    // The dialog redraws nothing; the next drawing and read-out use millimetres.
    QCOMPARE(m_main->scanArea()->pnl_Spacer->text(), QStringLiteral("in"));
    m_main->scanArea()->DrawRuler(20.78f);
    QCOMPARE(m_main->scanArea()->pnl_Spacer->text(), QStringLiteral("mm"));
    m_main->scanArea()->cmb_SizeSelect(1);
    QVERIFY2(m_main->sb_Main->panelText(2).endsWith(QLatin1String(" mm")),
             qPrintable(m_main->sb_Main->panelText(2)));
}

void tst_Preferences::cancelWritesNothing()
{
    m_main->scanArea()->UnitsCode = 1;
    m_main->session()->setSkipBlank(false);
    showDialog();
    m_dialog->cmb_Units->setCurrentIndex(1);
    m_dialog->cb_Save->setChecked(true);
    m_dialog->cb_SkipBlank->setChecked(true);
    m_dialog->cb_Update->setChecked(true);
    QTest::mouseClick(m_dialog->btn_Cancel, Qt::LeftButton);
    QVERIFY(!m_dialog->isVisible());
    QCOMPARE(m_dialog->result(), int(QDialog::Rejected));
    QVERIFY(storedValues(m_store).isEmpty());
    QCOMPARE(m_main->scanArea()->UnitsCode, 1);
    QCOMPARE(m_main->session()->gSkipBlank(), false);
}

void tst_Preferences::absentValuesKeepControlState()
{
    // A cancelled showing leaves its states for the next one when the store is silent.
    showDialog();
    m_dialog->cmb_Units->setCurrentIndex(1);
    m_dialog->cb_SkipBlank->setChecked(true);
    m_dialog->reject();
    {
        QSettings settings(m_store, QSettings::IniFormat);
        settings.setValue("Save", 1);
    }
    showDialog();
    QCOMPARE(m_dialog->cmb_Units->currentIndex(), 1);
    QVERIFY(m_dialog->cb_SkipBlank->isChecked());
    QVERIFY(m_dialog->cb_Save->isChecked());
    QVERIFY(!m_dialog->cb_Update->isChecked());
}

void tst_Preferences::pickedLanguageSwitchesAtOnce()
{
    showDialog();
    m_dialog->cmb_Units->setCurrentIndex(1);
    pickLanguage(QStringLiteral("Russian"));

    QCOMPARE(TLangDispatcher::instance().Language(), QStringLiteral("Russian"));
    QCOMPARE(m_dialog->windowTitle(), QString::fromUtf8("Настройки"));
    QCOMPARE(m_dialog->btn_Cancel->text(), QString::fromUtf8("Закрыть"));
    QCOMPARE(m_dialog->GroupBox1->title(), QString::fromUtf8("Главные настройки"));
    QCOMPARE(m_dialog->Label2->text(), QStringLiteral("Language:"));
    QCOMPARE(m_dialog->cmb_Units->currentText(), QString::fromUtf8("(mm) миллиметр"));
    QCOMPARE(m_dialog->cmb_Lang->itemText(0), QStringLiteral("English"));
    for (QCheckBox *box :
         {m_dialog->cb_Update, m_dialog->cb_Save, m_dialog->cb_SkipBlank, m_dialog->cb_Searchable,
          m_dialog->cb_PdfA, m_dialog->cb_Upright, m_dialog->cb_Straighten, m_dialog->cb_Crop})
        QVERIFY(box->width() >= box->sizeHint().width());
    QVERIFY(m_dialog->Label3->geometry().right() < m_dialog->cmb_OcrLang->x());
    // Every window at once.
    QCOMPARE(m_main->Action4->text(), QString::fromUtf8("&Настройки"));
    QVERIFY(storedValues(m_store).isEmpty());

    pickLanguage(QStringLiteral("English"));
    QCOMPARE(m_dialog->cmb_Units->currentText(), QStringLiteral("(mm) millimeter"));
    QCOMPARE(m_main->Action4->text(), QStringLiteral("&Preferences..."));
}

void tst_Preferences::cancelledLanguageStaysActive_data()
{
    QTest::addColumn<QString>("storedBefore"); // empty: no Lang stored
    QTest::addColumn<QString>("shownAfter");

    QTest::newRow("nothing stored") << ""
                                    << "Russian";
    QTest::newRow("English stored") << "English"
                                    << "English";
}

void tst_Preferences::cancelledLanguageStaysActive()
{
    QFETCH(QString, storedBefore);
    QFETCH(QString, shownAfter);

    if (!storedBefore.isEmpty())
        QSettings(m_store, QSettings::IniFormat).setValue("Lang", storedBefore);

    showDialog();
    pickLanguage(QStringLiteral("Russian"));
    QTest::mouseClick(m_dialog->btn_Cancel, Qt::LeftButton);
    QCOMPARE(TLangDispatcher::instance().Language(), QStringLiteral("Russian"));
    QCOMPARE(m_main->Action4->text(), QString::fromUtf8("&Настройки"));
    QCOMPARE(storedValues(m_store).value("Lang").toString(), storedBefore);

    showDialog();
    QCOMPARE(m_dialog->cmb_Lang->currentText(), shownAfter);
    QCOMPARE(m_dialog->windowTitle(), QString::fromUtf8("Настройки"));
    QTest::mouseClick(m_dialog->btn_OK, Qt::LeftButton);
    // OK stores the name shown without switching the interface.
    QCOMPARE(storedValues(m_store).value("Lang").toString(), shownAfter);
    QCOMPARE(TLangDispatcher::instance().Language(), QStringLiteral("Russian"));
}

void tst_Preferences::restoringMinimisedKeepsEdits()
{
    {
        QSettings settings(m_store, QSettings::IniFormat);
        settings.setValue("Units", 0);
        settings.setValue("Save", 0);
    }
    showDialog();
    QVERIFY(QTest::qWaitForWindowExposed(m_dialog));
    m_dialog->cb_Save->setChecked(true);
    m_dialog->cmb_Units->setCurrentIndex(1);
    // What the window system sends when the minimised dialog comes back (and
    // after mapping it): a spontaneous show event, which is no new showing.
    QShowEvent restored;
    QSpontaneKeyEvent::setSpontaneous(&restored);
    QApplication::instance()->notify(m_dialog, &restored);
    QVERIFY(m_dialog->cb_Save->isChecked());
    QCOMPARE(m_dialog->cmb_Units->currentIndex(), 1);
}

void tst_Preferences::recognitionPreferences_data()
{
    QTest::addColumn<QStringList>("installed"); // language data files present
    QTest::addColumn<QString>("interface");
    QTest::addColumn<QVariantMap>("stored");  // recognition values before showing
    QTest::addColumn<QStringList>("listed");  // the list's codes
    QTest::addColumn<QString>("shown");       // the language shown, as the user reads it
    QTest::addColumn<bool>("on");             // the check box as shown
    QTest::addColumn<bool>("tick");           // the user ticks it before OK
    QTest::addColumn<QVariantMap>("written"); // recognition values after OK

    const QStringList engRus{"eng", "osd", "rus"};
    const QStringList allThree{"eng", "rus", "rus+eng"};
    QTest::newRow("absent: off, English by default, nothing written")
        << engRus << "English" << QVariantMap{} << allThree << "English" << false << false
        << QVariantMap{};
    QTest::newRow("absent: Russian interface offers Russian + English")
        << engRus << "Russian" << QVariantMap{} << allThree
        << QString::fromUtf8("Русский + Английский") << false << false << QVariantMap{};
    QTest::newRow("ticked: written with the language shown")
        << engRus << "Russian" << QVariantMap{} << allThree
        << QString::fromUtf8("Русский + Английский") << false << true
        << QVariantMap{{"SearchablePdf", 1}, {"OcrLanguages", "rus+eng"}};
    QTest::newRow("stored on, Russian alone: restored")
        << engRus << "English" << QVariantMap{{"SearchablePdf", 1}, {"OcrLanguages", "rus"}}
        << allThree << "Russian" << true << false
        << QVariantMap{{"SearchablePdf", 1}, {"OcrLanguages", "rus"}};
    QTest::newRow("stored off, language no longer installed: default, off kept")
        << QStringList{"deu", "eng"} << "English"
        << QVariantMap{{"SearchablePdf", 0}, {"OcrLanguages", "rus+eng"}}
        << QStringList{"deu", "deu+eng", "eng"} << "English" << false << false
        << QVariantMap{{"SearchablePdf", 0}, {"OcrLanguages", "eng"}};
    QTest::newRow("unreadable value counts as off")
        << QStringList{"eng"} << "English" << QVariantMap{{"SearchablePdf", "yes"}}
        << QStringList{"eng"} << "English" << false << false
        << QVariantMap{{"SearchablePdf", 0}, {"OcrLanguages", "eng"}};
}

void tst_Preferences::recognitionPreferences()
{
    QFETCH(QStringList, installed);
    QFETCH(QString, interface);
    QFETCH(QVariantMap, stored);
    QFETCH(QStringList, listed);
    QFETCH(QString, shown);
    QFETCH(bool, on);
    QFETCH(bool, tick);
    QFETCH(QVariantMap, written);

    // Language data of our own making: only the list is read from it.
    const QString data = m_dir->filePath(QStringLiteral("tessdata"));
    QVERIFY(QDir().mkpath(data));
    for (const QString &code : installed) {
        QFile file(data + QLatin1Char('/') + code + QStringLiteral(".traineddata"));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    qputenv("TESSDATA_PREFIX", QFile::encodeName(data));
    TLangDispatcher::instance().setLanguage(interface);
    {
        QSettings settings(m_store, QSettings::IniFormat);
        for (auto it = stored.cbegin(); it != stored.cend(); ++it)
            settings.setValue(it.key(), it.value());
    }

    showDialog();
    QStringList codes;
    for (int i = 0; i < m_dialog->cmb_OcrLang->count(); ++i)
        codes << m_dialog->cmb_OcrLang->itemData(i).toString();
    QCOMPARE(codes, listed);
    QCOMPARE(m_dialog->cmb_OcrLang->currentText(), shown);
    QCOMPARE(m_dialog->cb_Searchable->isChecked(), on);
    QCOMPARE(m_dialog->cmb_OcrLang->isEnabled(), on);
    if (tick)
        m_dialog->cb_Searchable->click();
    QTest::mouseClick(m_dialog->btn_OK, Qt::LeftButton);

    const QVariantMap after = storedValues(m_store);
    QVariantMap recognition;
    for (const char *key : {"SearchablePdf", "OcrLanguages"}) {
        if (after.contains(key))
            recognition.insert(key, after.value(key).toString());
    }
    for (auto it = written.begin(); it != written.end(); ++it)
        it.value() = it.value().toString();
    QCOMPARE(recognition, written);
}

void tst_Preferences::offByDefaultSwitches_data()
{
    QTest::addColumn<QString>("value");    // the stored value's name
    QTest::addColumn<QString>("box");      // the check box that shows it
    QTest::addColumn<QVariant>("stored");  // the value before showing; invalid: absent
    QTest::addColumn<bool>("on");          // the check box as shown
    QTest::addColumn<bool>("tick");        // the user clicks it before OK
    QTest::addColumn<QVariant>("written"); // the value after OK; invalid: absent

    // Switches beyond the original five: absent means off, and stays absent.
    const QList<QPair<QString, QString>> switches{{"ArchivalPdf", "cb_PdfA"},
                                                  {"TurnUpright", "cb_Upright"},
                                                  {"Straighten", "cb_Straighten"},
                                                  {"CropToPage", "cb_Crop"}};
    for (const auto &[valueName, boxName] : switches) {
        const QString value = valueName, box = boxName; // lambdas capture no bindings in C++17
        const auto row = [&](const char *name) -> QTestData & {
            return QTest::addRow("%s: %s", qPrintable(value), name) << value << box;
        };
        row("absent: off, and stays absent") << QVariant() << false << false << QVariant();
        row("absent, ticked: stored on") << QVariant() << false << true << QVariant(1);
        row("stored on: shown on, kept") << QVariant(1) << true << false << QVariant(1);
        row("stored on, unticked: stored off") << QVariant(1) << true << true << QVariant(0);
        row("unreadable counts as off") << QVariant("yes") << false << false << QVariant(0);
    }
}

void tst_Preferences::offByDefaultSwitches()
{
    QFETCH(QString, value);
    QFETCH(QString, box);
    QFETCH(QVariant, stored);
    QFETCH(bool, on);
    QFETCH(bool, tick);
    QFETCH(QVariant, written);
    if (stored.isValid()) {
        QSettings settings(m_store, QSettings::IniFormat);
        settings.setValue(value, stored);
    }

    showDialog();
    auto *check = m_dialog->findChild<QCheckBox *>(box);
    QVERIFY(check);
    QCOMPARE(check->isChecked(), on);
    if (tick)
        check->click();
    QTest::mouseClick(m_dialog->btn_OK, Qt::LeftButton);

    const QVariantMap after = storedValues(m_store);
    QCOMPARE(after.contains(value), written.isValid());
    if (written.isValid())
        QCOMPARE(after.value(value).toString(), written.toString());
}

void tst_Preferences::recognitionTimeLimit_data()
{
    QTest::addColumn<QVariant>("stored");  // the value before showing; invalid: absent
    QTest::addColumn<int>("shown");        // seconds in the box
    QTest::addColumn<int>("chosen");       // seconds the user sets before OK; 0: none
    QTest::addColumn<QVariant>("written"); // the value after OK; invalid: absent

    QTest::newRow("absent: 60 s, stays absent") << QVariant() << 60 << 0 << QVariant();
    QTest::newRow("stored 20 s: shown and kept") << QVariant(20) << 20 << 0 << QVariant(20);
    QTest::newRow("absent, 300 s chosen: stored") << QVariant() << 60 << 300 << QVariant(300);
    QTest::newRow("out of range: 60 s") << QVariant(5000) << 60 << 0 << QVariant(60);
    QTest::newRow("unreadable: 60 s") << QVariant("abc") << 60 << 0 << QVariant(60);
}

void tst_Preferences::recognitionTimeLimit()
{
    QFETCH(QVariant, stored);
    QFETCH(int, shown);
    QFETCH(int, chosen);
    QFETCH(QVariant, written);
    // A window with a page to export; it brings its own store, TEMP and destination.
    GalleryHarness h;
    const QString store = h.scratch().filePath(QStringLiteral("settings.conf"));
    if (stored.isValid())
        QSettings(store, QSettings::IniFormat).setValue(QStringLiteral("OcrTimeLimit"), stored);
    auto *dialog = new Tfrm_Settings(h.window.get());
    h.window->setWindows(nullptr, dialog, h.preview);

    dialog->show();
    QCOMPARE(dialog->spn_OcrTimeLimit->value(), shown);
    if (chosen > 0)
        dialog->spn_OcrTimeLimit->setValue(chosen);
    QTest::mouseClick(dialog->btn_OK, Qt::LeftButton);
    const QVariantMap after = storedValues(store);
    QCOMPARE(after.contains(QStringLiteral("OcrTimeLimit")), written.isValid());
    if (written.isValid())
        QCOMPARE(after.value(QStringLiteral("OcrTimeLimit")).toString(), written.toString());

    // Background recognition and "Save all to PDF" both take the limit at once.
    const int limit = written.isValid() ? written.toInt() : 60;
    QCOMPARE(h.window->imageList()->Recogniser->timeLimit(), limit);
    QVERIFY(h.addPage(QStringLiteral("a.bmp"), GalleryHarness::page(40, 30, qRgb(255, 255, 255))));
    h.savePath = h.scratch().filePath(QStringLiteral("out.pdf"));
    h.window->imageList()->Action_PDFExecute();
    const auto *job = h.window->findChild<PdfExportJob *>();
    QVERIFY(job);
    QCOMPARE(job->timeLimit(), limit);
    QVERIFY(QTest::qWaitFor([&] { return !h.window->imageList()->pdfExportRunning(); }, 60000));
    QVERIFY(QFile::exists(h.savePath));
}

QTEST_MAIN(tst_Preferences)
#include "tst_preferences.moc"
