#include "about/Tfrm_About.h"
#include "gallery/Tfrm_Preview.h"
#include "i18n/TLangDispatcher.h"
#include "mainwindow/ImageListPane.h"
#include "mainwindow/ScanSettingsPane.h"
#include "mainwindow/Tfrm_Main.h"
#include "pages/PageModel.h"
#include "scanner/NullTwainControl.h"
#include "settings/Tfrm_Settings.h"
#include "support/FourWindows.h"
#include "widgets/AccessibleText.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QComboBox>
#include <QDialog>
#include <QFileDialog>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <memory>

// Every window switches English -> Russian -> English at once, shown or not.
class TestWindowLanguages : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup() { TLangDispatcher::instance().setLanguage(QStringLiteral("English")); }
    void texts_data();
    void texts();
    void listSelectionsKept();
    void excludedPropertiesUntouched();
    void toolbarMargins();
    void standardDialogs();
    void accessibleNames_data();
    void accessibleNames();
    void keyboardReachesEveryCommand_data();
    void keyboardReachesEveryCommand();

private:
    QString read(const QString &windowName, const QString &object, const QString &property) const;

    std::unique_ptr<FourWindows> m_windows;
};

void TestWindowLanguages::initTestCase()
{
    m_windows = std::make_unique<FourWindows>();
}

void TestWindowLanguages::cleanupTestCase()
{
    m_windows.reset();
}

QString TestWindowLanguages::read(const QString &windowName, const QString &object,
                                  const QString &property) const
{
    QWidget *w = m_windows->byName(windowName);
    QObject *o = object.isEmpty() ? w : w->findChild<QObject *>(object);
    if (!o)
        return QStringLiteral("<no %1>").arg(object);
    if (property.startsWith(QLatin1String("item"))) {
        auto *combo = qobject_cast<QComboBox *>(o);
        return combo ? combo->itemText(property.mid(4).toInt()) : QStringLiteral("<not a list>");
    }
    return o->property(property.toLatin1().constData()).toString();
}

void TestWindowLanguages::texts_data()
{
    QTest::addColumn<QString>("win");
    QTest::addColumn<QString>("object");
    QTest::addColumn<QString>("property");
    QTest::addColumn<QString>("english");
    QTest::addColumn<QString>("russian");

    auto row = [](const char *tag, const char *win, const char *object, const char *property,
                  const char *en, const char *ru) {
        QTest::newRow(tag) << QString::fromUtf8(win) << QString::fromUtf8(object)
                           << QString::fromUtf8(property) << QString::fromUtf8(en)
                           << QString::fromUtf8(ru);
    };
    row("main title", "main", "", "windowTitle", "Pagora Pro", "Pagora Pro");
    row("gb_Source", "main", "gb_Source", "title", "Source", "Источник");
    row("gb_Params", "main", "gb_Params", "title", "Image settings", "Параметры изображения");
    row("gb_FileSettings", "main", "gb_FileSettings", "title", "File settings", "Настройки файла");
    row("gb_Preview", "main", "gb_Preview", "title", "Preview", "Просмотр");
    row("cb_ADF", "main", "cb_ADF", "text", "Autofeeder", "Автоподатчик");
    row("cb_Duplex", "main", "cb_Duplex", "text", "Duplex", "Обе стороны");
    row("Label1", "main", "Label1", "text", "Mode:", "Режим:");
    row("Label2", "main", "Label2", "text", "Resolution:", "Разрешение:");
    row("Label3", "main", "Label3", "text", "Size:", "Размер:");
    row("Label4", "main", "Label4", "text", "File name:", "Имя файла:");
    row("Label5", "main", "Label5", "text", "File format:", "Формат:");
    row("Label6", "main", "Label6", "text", "Destination:", "Каталог:");
    row("ToolButtonPreview", "main", "ToolButtonPreview", "text", "Preview   ", "Просмотр");
    row("ToolButtonScan", "main", "ToolButtonScan", "text", "Scan", "Сканировать");
    row("Scan1", "main", "Scan1", "text", "Scan", "Сканировать");
    row("Copy1", "main", "Copy1", "text", "Copy", "Копировать");
    row("mode 0", "main", "cmb_Mode", "item0", "Black & White", "Черно-белое");
    row("mode 1", "main", "cmb_Mode", "item1", "Gray", "Оттенки серого");
    row("mode 2", "main", "cmb_Mode", "item2", "Color", "Цветное");
    row("size list stays English", "main", "cmb_Size", "item1", "A4 Letter, A4 ", "A4 Letter, A4 ");
    row("menu File", "main", "menuFile", "title", "&File", "Файл");
    row("menu Settings", "main", "menuSettings", "title", "&Settings", "Настройки");
    row("menu Help", "main", "menuHelp", "title", "&Help", "Помощь");
    row("Action2", "main", "Action2", "text", "&Preview", "Просмотр");
    row("BrowseForFolder1", "main", "BrowseForFolder1", "text", "&Select destination folder...",
        "Каталог назначения");
    row("Action1", "main", "Action1", "text", "S&can", "Сканировать");
    row("Action3", "main", "Action3", "text", "C&opy to printer", "Копировать на принтер");
    row("FilePrintSetup1", "main", "FilePrintSetup1", "text", "Print Set&up...",
        "Настройка принтера...");
    row("FilePrintSetup1 hint", "main", "FilePrintSetup1", "toolTip", "Print Setup",
        "Настройка принтера");
    row("FileExit1", "main", "FileExit1", "text", "E&xit", "Выход");
    row("FileExit1 hint", "main", "FileExit1", "toolTip", "Exit", "Выход");
    row("Action4", "main", "Action4", "text", "&Preferences...", "Настройки");
    row("Action5", "main", "Action5", "text", "&Pagora Pro homepage", "Pagora Pro в интернете");
    row("Action8", "main", "Action8", "text", "Ab&out...", "О программе...");
    row("Action_Preview", "main", "Action_Preview", "text", "Preview", "Просмотр");
    row("Action_Preview hint", "main", "Action_Preview", "toolTip", "Preview selected image",
        "Просмотр выбранного изображения");
    row("Action_Rename", "main", "Action_Rename", "text", "Rename", "Переименовать");
    row("Action_Rename hint", "main", "Action_Rename", "toolTip", "Rename selected file",
        "Переименовать выбранный файл");
    row("Action_Delete", "main", "Action_Delete", "text", "Delete", "Удалить");
    row("Action_Delete hint", "main", "Action_Delete", "toolTip", "Physically delete file ",
        "Удалить выбранный файл");
    row("Action_PDF not translated", "main", "Action_PDF", "text", "Save all to PDF",
        "Save all to PDF");

    row("settings title", "settings", "", "windowTitle", "Settings", "Настройки");
    row("settings OK", "settings", "btn_OK", "text", "OK", "OK");
    row("settings Cancel", "settings", "btn_Cancel", "text", "Cancel", "Закрыть");
    row("GroupBox1", "settings", "GroupBox1", "title", "Main settings", "Главные настройки");
    row("settings Label1", "settings", "Label1", "text", "Units:", "Единицы:");
    row("settings Label2", "settings", "Label2", "text", "Language:", "Language:");
    row("cb_Save", "settings", "cb_Save", "text", "Save scanner and image preferences",
        "Запоминать настройки сканера");
    row("cb_SkipBlank", "settings", "cb_SkipBlank", "text", "Skip blank pages (ADF)",
        "Пропускать пустые страницы");
    row("cb_Update", "settings", "cb_Update", "text", "Check for updates at startup",
        "Проверять наличие обновлений");
    row("units 0", "settings", "cmb_Units", "item0", "(in) inch", "(in) дюйм");
    row("units 1", "settings", "cmb_Units", "item1", "(mm) millimeter", "(mm) миллиметр");
    row("language list", "settings", "cmb_Lang", "item1", "Russian", "Russian");

    row("about title", "about", "", "windowTitle", "About Pagora Pro", "О программе Pagora Pro");
    row("btn_Update", "about", "btn_Update", "text", "Check for updates", "Обновления");
    row("about OK", "about", "btn_OK", "text", "OK", "ОК");
    row("lbl_Name", "about", "lbl_Name", "text", "Pagora Pro", "Pagora Pro");

    row("preview title", "preview", "", "windowTitle", "Previewing", "Просмотр");
}

void TestWindowLanguages::texts()
{
    QFETCH(QString, win);
    QFETCH(QString, object);
    QFETCH(QString, property);
    QFETCH(QString, english);
    QFETCH(QString, russian);

    QCOMPARE(read(win, object, property), english);
    QVERIFY(TLangDispatcher::instance().setLanguage(QStringLiteral("Russian")));
    // The Russian texts as shown: the mnemonic markers are checked by
    // keyboardReachesEveryCommand.
    static const QRegularExpression marker(QStringLiteral("&(?!&)"));
    QCOMPARE(read(win, object, property).remove(marker), russian);
    QVERIFY(TLangDispatcher::instance().setLanguage(QStringLiteral("English")));
    QCOMPARE(read(win, object, property), english);
}

void TestWindowLanguages::listSelectionsKept()
{
    m_windows->main->scanSettings()->cmb_Mode->setCurrentIndex(0);
    m_windows->settings->cmb_Units->setCurrentIndex(1);
    TLangDispatcher::instance().setLanguage(QStringLiteral("Russian"));
    QCOMPARE(m_windows->main->scanSettings()->cmb_Mode->currentIndex(), 0);
    QCOMPARE(m_windows->main->scanSettings()->cmb_Mode->currentText(),
             QStringLiteral("Черно-белое"));
    QCOMPARE(m_windows->settings->cmb_Units->currentIndex(), 1);
    TLangDispatcher::instance().setLanguage(QStringLiteral("English"));
    QCOMPARE(m_windows->main->scanSettings()->cmb_Mode->currentIndex(), 0);
    QCOMPARE(m_windows->settings->cmb_Units->currentIndex(), 1);
    QCOMPARE(m_windows->settings->cmb_Units->currentText(), QStringLiteral("(mm) millimeter"));
}

void TestWindowLanguages::excludedPropertiesUntouched()
{
    m_windows->main->scanSettings()->edt_FileName->setText(QStringLiteral("My scans"));
    m_windows->main->scanSettings()->edt_Destination->setText(QStringLiteral("/tmp/somewhere "));
    m_windows->main->scanSettings()->cmb_Resolution->setCurrentIndex(7);
    m_windows->main->scanSettings()->cmb_Format->setCurrentIndex(2);
    m_windows->main->scanSettings()->cmb_Size->setCurrentIndex(5);
    m_windows->about->lbl_Copyright->setProperty("text", QStringLiteral("notice"));
    TLangDispatcher::instance().setLanguage(QStringLiteral("Russian"));
    QCOMPARE(m_windows->main->scanSettings()->edt_FileName->text(), QStringLiteral("My scans"));
    QCOMPARE(m_windows->main->scanSettings()->edt_Destination->text(),
             QStringLiteral("/tmp/somewhere "));
    QCOMPARE(m_windows->main->scanSettings()->cmb_Resolution->currentText(), QStringLiteral("800"));
    QCOMPARE(m_windows->main->scanSettings()->cmb_Format->currentText(),
             QStringLiteral("TIFF (Tag Image File Format)"));
    QCOMPARE(m_windows->main->scanSettings()->cmb_Size->currentText(), QStringLiteral("A5 "));
    QCOMPARE(m_windows->about->lbl_Copyright->property("text").toString(),
             QStringLiteral("notice"));
    QCOMPARE(m_windows->settings->cmb_Lang->itemText(0), QStringLiteral("English"));
}

void TestWindowLanguages::toolbarMargins()
{
    auto margins = [this] {
        return m_windows->main->scanSettings()->ToolBar_Main->layout()->contentsMargins();
    };
    QCOMPARE(margins().left(), 35);
    QCOMPARE(margins().right(), 35);
    TLangDispatcher::instance().setLanguage(QStringLiteral("Russian"));
    QCOMPARE(margins().left(), 12);
    QCOMPARE(margins().right(), 12);
}

// Qt's own texts follow the chosen language: message box buttons, the file and
// folder dialogs, the edit fields' context menus.
void TestWindowLanguages::standardDialogs()
{
    const auto texts = [] {
        QMessageBox box(QMessageBox::Question, QStringLiteral("t"), QStringLiteral("q"),
                        QMessageBox::Yes | QMessageBox::No);
        QFileDialog files;
        files.setOption(QFileDialog::DontUseNativeDialog);
        const auto *lookIn = files.findChild<QLabel *>(QStringLiteral("lookInLabel"));
        QLineEdit edit;
        const std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
        return QStringList{box.button(QMessageBox::Yes)->text(),
                           box.button(QMessageBox::No)->text(),
                           lookIn ? lookIn->text() : QStringLiteral("<no label>"),
                           menu->actions().constFirst()->text().section(QLatin1Char('\t'), 0, 0)};
    };
    const QStringList english{"&Yes", "&No", "Look in:", "&Undo"};
    QCOMPARE(texts(), english);
    QVERIFY(TLangDispatcher::instance().setLanguage(QStringLiteral("Russian")));
    QCOMPARE(texts(), QStringList({"&Да", "&Нет", "Перейти к:", "&Отменить действие"}));
    QVERIFY(TLangDispatcher::instance().setLanguage(QStringLiteral("English")));
    QCOMPARE(texts(), english);
}

void TestWindowLanguages::accessibleNames_data()
{
    QTest::addColumn<QString>("win");
    QTest::addColumn<QString>("language");
    QTest::addColumn<int>("minimum"); // controls found: a walk that finds none proves nothing
    QTest::addColumn<QStringList>("pictures"); // not focusable, named all the same
    const struct
    {
        const char *win;
        int minimum;
        QStringList pictures;
    } windows[] = {{"main", 17, {}},
                   {"about", 2, {QStringLiteral("Image")}},
                   {"settings", 10, {}},
                   {"preview", 0, {QStringLiteral("Image")}}};
    for (const auto &w : windows)
        for (const char *language : {"English", "Russian"})
            QTest::addRow("%s, %s", w.win, language)
                << QString::fromLatin1(w.win) << QString::fromLatin1(language) << w.minimum
                << w.pictures;
}

// What a screen reader says for each control: every control a user can reach
// or press has a name, in the interface language, and Tab reaches every button.
void TestWindowLanguages::accessibleNames()
{
    QFETCH(QString, win);
    QFETCH(QString, language);
    QFETCH(int, minimum);
    QFETCH(QStringList, pictures);
    QVERIFY(TLangDispatcher::instance().setLanguage(language));
    const bool russian = language == QLatin1String("Russian");

    QWidget *w = m_windows->byName(win);
    if (win == QLatin1String("main") && m_windows->main->imageList()->Pages->rowCount() == 0) {
        PageEntry saved;
        saved.caption = QStringLiteral("Pagora_1.jpg");
        saved.pageFile = QStringLiteral("/tmp/Pagora_1.jpg");
        PageEntry lost = saved;
        lost.caption = QStringLiteral("Pagora_2.jpg");
        lost.pageFileWritten = false;
        m_windows->main->imageList()->Pages->append(saved);
        m_windows->main->imageList()->Pages->append(lost);
    }
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));

    const auto hasCyrillic = [](const QString &text) {
        return std::any_of(text.begin(), text.end(),
                           [](QChar c) { return c.script() == QChar::Script_Cyrillic; });
    };
    QStringList faults;
    int controls = 0;
    for (QWidget *child : w->findChildren<QWidget *>()) {
        if (!child->isVisibleTo(w) || child->window() != w)
            continue; // closed popups, hidden buttons
        auto *button = qobject_cast<QAbstractButton *>(child);
        const bool interactive = child->focusPolicy() != Qt::NoFocus || button;
        if (!interactive && !pictures.contains(child->objectName()))
            continue;
        controls += interactive;
        const QString what =
            QStringLiteral("%1 (%2)").arg(child->objectName(), child->metaObject()->className());
        QAccessibleInterface *face = QAccessible::queryAccessibleInterface(child);
        QString name = face ? face->text(QAccessible::Name).trimmed() : QString();
        // On Linux a list box's name is the item it shows; what it is for comes
        // from its label (a buddy, or the group around it), as screen readers
        // read it there.
        // That label is on the screen: its text is as translated as the window.
        const bool fromLabel = face && qobject_cast<QComboBox *>(child);
        if (fromLabel) {
            const auto labels = face->relations(QAccessible::Label);
            name = labels.isEmpty() ? QString()
                                    : labels.constFirst().first->text(QAccessible::Name).trimmed();
        }
        if (name.isEmpty())
            faults << what + QStringLiteral(": no name");
        // A name set once at start would stay English; captions that read the
        // same in both languages ("Save all to PDF") are the control's own text.
        else if (russian && !fromLabel && !hasCyrillic(name) &&
                 !(button && AccessibleText::fromCaption(button->text()) == name) &&
                 name != QLatin1String("Pagora Pro"))
            faults << what + QStringLiteral(": English name ") + name;
        // The field's folder button repeats File, "Select destination folder".
        if (button && !(button->focusPolicy() & Qt::TabFocus) &&
            !qobject_cast<QLineEdit *>(child->parentWidget()))
            faults << what + QStringLiteral(": not reachable by Tab");
    }
    if (win == QLatin1String("main")) {
        // The pages: caption, and that the page file is missing.
        QAccessibleInterface *list =
            QAccessible::queryAccessibleInterface(m_windows->main->imageList()->lv_Images);
        QVERIFY(list && list->childCount() >= 2);
        QCOMPARE(list->child(0)->text(QAccessible::Name), QStringLiteral("Pagora_1.jpg"));
        QCOMPARE(list->child(1)->text(QAccessible::Name),
                 russian ? QStringLiteral("Pagora_2.jpg, не сохранено")
                         : QStringLiteral("Pagora_2.jpg, not saved"));
    }
    QVERIFY2(controls >= minimum, qPrintable(QString::number(controls)));
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));

    // Escape closes a dialog, wherever the focus is in it.
    if (auto *dialog = qobject_cast<QDialog *>(w)) {
        QTest::keyClick(dialog->focusWidget() ? dialog->focusWidget() : dialog, Qt::Key_Escape);
        QTRY_VERIFY(!dialog->isVisible());
    }
    w->hide();
}

void TestWindowLanguages::keyboardReachesEveryCommand_data()
{
    QTest::addColumn<QString>("language");
    QTest::newRow("English") << "English";
    QTest::newRow("Russian") << "Russian";
}

// With the keyboard alone: every menu title and entry has its own letter in its
// menu, F10 opens the menu bar and the arrow keys reach every enabled command,
// Tab reaches the folder button, and Alt+Down or the Menu key open the Scan menu.
void TestWindowLanguages::keyboardReachesEveryCommand()
{
    QFETCH(QString, language);
    QVERIFY(TLangDispatcher::instance().setLanguage(language) || language == "English");
    Tfrm_Main *main = m_windows->main;

    const auto letterOf = [](const QString &text) {
        const QKeySequence key = QKeySequence::mnemonic(text);
        return key.isEmpty() ? QChar() : QChar(char16_t(key[0].key() & 0xffff)).toUpper();
    };
    const auto checkLetters = [&](const QList<QAction *> &actions, const QString &where) {
        QSet<QChar> taken;
        for (QAction *a : actions) {
            if (a->isSeparator() || !a->isVisible())
                continue;
            const QChar letter = letterOf(a->text());
            QVERIFY2(!letter.isNull(), qPrintable(where + ": no letter in " + a->text()));
            QVERIFY2(!taken.contains(letter),
                     qPrintable(where + ": letter " + letter + " twice, " + a->text()));
            taken.insert(letter);
        }
    };
    QList<QAction *> enabled;
    checkLetters(main->menuBar()->actions(), QStringLiteral("menu bar"));
    for (QAction *title : main->menuBar()->actions()) {
        QVERIFY(title->menu());
        checkLetters(title->menu()->actions(), title->text());
        for (QAction *a : title->menu()->actions())
            if (!a->isSeparator() && a->isVisible() && a->isEnabled())
                enabled << a;
    }
    QVERIFY(enabled.size() > 8);

    main->show();
    main->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(main));
    // The offscreen platform leaves an earlier row's closed popup as the active window.
    QApplication::setActiveWindow(main);

    // F10, then Down through each menu and Right to the next, back to the first.
    QTest::keyClick(main, Qt::Key_F10);
    QTRY_VERIFY(qobject_cast<QMenu *>(QApplication::activePopupWidget()));
    auto *first = qobject_cast<QMenu *>(QApplication::activePopupWidget());
    QCOMPARE(first, main->menuBar()->actions().first()->menu());
    QSet<QAction *> reached;
    QMenu *menu = first;
    for (int menus = 0; menus < main->menuBar()->actions().size(); ++menus) {
        for (int step = 0; step <= menu->actions().size(); ++step) {
            QTest::keyClick(menu, Qt::Key_Down);
            if (menu->activeAction())
                reached.insert(menu->activeAction());
        }
        QTest::keyClick(menu, Qt::Key_Right);
        QTRY_VERIFY(QApplication::activePopupWidget() != menu);
        menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QVERIFY(menu);
    }
    QCOMPARE(menu, first);
    QTest::keyClick(menu, Qt::Key_Escape);
    QTRY_VERIFY(!first->isVisible());
    for (QAction *a : enabled)
        QVERIFY2(reached.contains(a), qPrintable(a->text() + " not reached by the arrow keys"));

    // Tab from the destination field reaches the folder button.
    ScanSettingsPane *pane = main->scanSettings();
    pane->edt_Destination->setFocus(Qt::TabFocusReason);
    QTRY_COMPARE(QApplication::focusWidget(), pane->edt_Destination);
    QTest::keyClick(pane->edt_Destination, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), pane->btn_DestinationBrowse);
    QCOMPARE(pane->btn_DestinationBrowse->defaultAction(), pane->edt_DestinationButton);

    // The Scan button's menu by keyboard; it runs its own loop, so it is looked
    // at and closed from inside that loop.
    QToolButton *scan = pane->ToolButtonScan;
    const bool wasEnabled = scan->isEnabled();
    scan->setEnabled(true);
    for (const QKeyCombination key : {QKeyCombination(Qt::AltModifier, Qt::Key_Down),
                                      QKeyCombination(Qt::NoModifier, Qt::Key_Menu)}) {
        QWidget *opened = nullptr;
        QTimer::singleShot(0, this, [&opened] {
            opened = QApplication::activePopupWidget();
            if (opened)
                opened->close();
        });
        scan->setFocus(Qt::TabFocusReason);
        QTest::keyClick(scan, key.key(), key.keyboardModifiers());
        QTRY_VERIFY(opened || !QApplication::activePopupWidget());
        QCOMPARE(opened, static_cast<QWidget *>(pane->PopupMenu_ScanCopy));
    }
    scan->setEnabled(wasEnabled);
    main->hide();
}

QTEST_MAIN(TestWindowLanguages)
#include "tst_windowlanguages.moc"
