#include "settings/Tfrm_Settings.h"

#include "i18n/TLangDispatcher.h"
#include "ocr/OcrLanguageChoice.h"
#include "settings/SettingsStore.h"
#include "widgets/AccessibleText.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QShowEvent>
#include <QSpinBox>

namespace {

constexpr int CheckBoxWidth = 217;

} // namespace

Tfrm_Settings::Tfrm_Settings(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Tfrm_Settings"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setModal(true);
    setFixedSize(359, 456);
    // The designed positions assume this small font; where Tahoma is missing a
    // sans-serif of the same size stands in.
    QFont designFont(QStringLiteral("Tahoma"));
    designFont.setStyleHint(QFont::SansSerif);
    designFont.setPointSize(8);
    setFont(designFont);

    // Positions as designed; the group's children are placed in its own coordinates.
    GroupBox1 = new QGroupBox(this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(8, 8, 249, 177);
    Label2 = new QLabel(GroupBox1);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->move(16, 33);
    cmb_Lang = new QComboBox(GroupBox1);
    cmb_Lang->setObjectName(QStringLiteral("cmb_Lang"));
    cmb_Lang->setGeometry(88, 30, 145, cmb_Lang->sizeHint().height());
    cmb_Lang->addItems(TLangDispatcher::instance().languages()); // never translated
    cmb_Lang->setCurrentIndex(0);
    Label1 = new QLabel(GroupBox1);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->move(16, 60);
    cmb_Units = new QComboBox(GroupBox1);
    cmb_Units->setObjectName(QStringLiteral("cmb_Units"));
    cmb_Units->setGeometry(88, 57, 145, cmb_Units->sizeHint().height());
    cmb_Units->addItems({QString(), QString()});
    cmb_Units->setCurrentIndex(0);
    Label2->setBuddy(cmb_Lang);
    Label1->setBuddy(cmb_Units);
    cb_Update = new QCheckBox(GroupBox1);
    cb_Update->setObjectName(QStringLiteral("cb_Update"));
    cb_Update->setGeometry(16, 90, CheckBoxWidth, 17);
    cb_Save = new QCheckBox(GroupBox1);
    cb_Save->setObjectName(QStringLiteral("cb_Save"));
    cb_Save->setGeometry(16, 113, CheckBoxWidth, 17);
    cb_SkipBlank = new QCheckBox(GroupBox1);
    cb_SkipBlank->setObjectName(QStringLiteral("cb_SkipBlank"));
    cb_SkipBlank->setGeometry(16, 136, CheckBoxWidth, 17);

    // Text recognition below, across the dialog: its captions are long.
    GroupBox2 = new QGroupBox(this);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    GroupBox2->setGeometry(8, 191, 343, 102);
    cb_Searchable = new QCheckBox(GroupBox2);
    cb_Searchable->setObjectName(QStringLiteral("cb_Searchable"));
    cb_Searchable->setGeometry(16, 20, 311, 17);
    Label3 = new QLabel(GroupBox2);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->move(16, 47);
    cmb_OcrLang = new QComboBox(GroupBox2);
    cmb_OcrLang->setObjectName(QStringLiteral("cmb_OcrLang"));
    // Wide enough for "Русский + Английский" whole.
    cmb_OcrLang->setGeometry(156, 44, 171, cmb_OcrLang->sizeHint().height());
    cmb_OcrLang->setEnabled(false);
    Label3->setBuddy(cmb_OcrLang);
    // At the right edge: the Russian caption is long. Stays enabled with recognition
    // off: the save dialog's own searchable box uses the limit too.
    Label4 = new QLabel(GroupBox2);
    Label4->setObjectName(QStringLiteral("Label4"));
    Label4->move(16, 74);
    spn_OcrTimeLimit = new QSpinBox(GroupBox2);
    spn_OcrTimeLimit->setObjectName(QStringLiteral("spn_OcrTimeLimit"));
    spn_OcrTimeLimit->setRange(SettingsStore::OcrTimeLimitMin, SettingsStore::OcrTimeLimitMax);
    spn_OcrTimeLimit->setValue(SettingsStore::OcrTimeLimitDefault);
    spn_OcrTimeLimit->setGeometry(247, 71, 80, spn_OcrTimeLimit->sizeHint().height());
    Label4->setBuddy(spn_OcrTimeLimit);
    // A group of its own: archiving is not text recognition, though both shape
    // the PDF files "Save all to PDF" writes.
    GroupBox4 = new QGroupBox(this);
    GroupBox4->setObjectName(QStringLiteral("GroupBox4"));
    GroupBox4->setGeometry(8, 299, 343, 46);
    cb_PdfA = new QCheckBox(GroupBox4);
    cb_PdfA->setObjectName(QStringLiteral("cb_PdfA"));
    cb_PdfA->setGeometry(16, 20, 311, 17);

    // What happens to each scanned page before it is written.
    GroupBox3 = new QGroupBox(this);
    GroupBox3->setObjectName(QStringLiteral("GroupBox3"));
    GroupBox3->setGeometry(8, 351, 343, 94);
    cb_Upright = new QCheckBox(GroupBox3);
    cb_Upright->setObjectName(QStringLiteral("cb_Upright"));
    cb_Upright->setGeometry(16, 20, 311, 17);
    cb_Straighten = new QCheckBox(GroupBox3);
    cb_Straighten->setObjectName(QStringLiteral("cb_Straighten"));
    cb_Straighten->setGeometry(16, 43, 311, 17);
    cb_Crop = new QCheckBox(GroupBox3);
    cb_Crop->setObjectName(QStringLiteral("cb_Crop"));
    cb_Crop->setGeometry(16, 66, 311, 17);

    btn_OK = new QPushButton(this);
    btn_OK->setObjectName(QStringLiteral("btn_OK"));
    btn_OK->setGeometry(273, 10, 75, 25);
    btn_OK->setDefault(true);
    btn_Cancel = new QPushButton(this);
    btn_Cancel->setObjectName(QStringLiteral("btn_Cancel"));
    btn_Cancel->setGeometry(273, 41, 75, 25);

    setTabOrder(btn_OK, btn_Cancel);
    setTabOrder(btn_Cancel, cb_Save);
    setTabOrder(cb_Save, cb_SkipBlank);
    setTabOrder(cb_SkipBlank, cmb_Units);
    setTabOrder(cmb_Units, cmb_Lang);
    setTabOrder(cmb_Lang, cb_Update);
    setTabOrder(cb_Update, cb_Searchable);
    setTabOrder(cb_Searchable, cmb_OcrLang);
    setTabOrder(cmb_OcrLang, spn_OcrTimeLimit);
    setTabOrder(spn_OcrTimeLimit, cb_PdfA);
    setTabOrder(cb_PdfA, cb_Upright);
    setTabOrder(cb_Upright, cb_Straighten);
    setTabOrder(cb_Straighten, cb_Crop);

    connect(btn_OK, &QPushButton::clicked, this, [this] {
        btn_OKClick();
        accept();
    });
    connect(btn_Cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(cmb_Lang, qOverload<int>(&QComboBox::activated), this, &Tfrm_Settings::cmb_LangChange);
    connect(cb_Searchable, &QCheckBox::toggled, cmb_OcrLang, &QWidget::setEnabled);

    retranslateUi();
}

void Tfrm_Settings::retranslateUi()
{
    setWindowTitle(tr("Settings", "Tfrm_Settings"));
    btn_OK->setText(tr("OK", "btn_OK"));
    btn_Cancel->setText(tr("Cancel", "btn_Cancel"));
    GroupBox1->setTitle(tr("Main settings", "GroupBox1"));
    Label1->setText(tr("Units:", "Label1"));
    Label2->setText(tr("Language:", "Label2"));
    cb_Save->setText(tr("Save scanner and image preferences", "cb_Save"));
    cb_SkipBlank->setText(tr("Skip blank pages (ADF)", "cb_SkipBlank"));
    cb_Update->setText(tr("Check for updates at startup", "cb_Update"));
    cmb_Units->setItemText(0, tr("(in) inch", "cmb_Units.Items[0]"));
    cmb_Units->setItemText(1, tr("(mm) millimeter", "cmb_Units.Items[1]"));
    GroupBox2->setTitle(tr("Text recognition", "GroupBox2"));
    cb_Searchable->setText(tr("Make PDF files searchable (text recognition)", "cb_Searchable"));
    Label3->setText(tr("Recognition language:", "Label3"));
    Label4->setText(tr("Recognition time limit per page:", "Label4"));
    spn_OcrTimeLimit->setSuffix(tr(" s", "spn_OcrTimeLimit.Suffix"));
    cb_PdfA->setText(tr("Save PDF files as PDF/A (for archiving)", "cb_PdfA"));
    GroupBox4->setTitle(tr("PDF files", "GroupBox4"));
    GroupBox3->setTitle(tr("Scanned pages", "GroupBox3"));
    cb_Upright->setText(tr("Turn pages upright", "cb_Upright"));
    cb_Straighten->setText(tr("Straighten pages", "cb_Straighten"));
    cb_Crop->setText(tr("Crop to the page", "cb_Crop"));
    for (int i = 0; i < cmb_OcrLang->count(); ++i)
        cmb_OcrLang->setItemText(i, ocrLanguageName(cmb_OcrLang->itemData(i).toString()));
    using AccessibleText::set;
    set(btn_OK, btn_OK->text());
    set(btn_Cancel, btn_Cancel->text());
    set(cmb_Lang, Label2->text(),
        tr("Switches the interface language at once", "cmb_Lang.Description"));
    set(cmb_Units, Label1->text(),
        tr("Units of the rulers and the size read-out", "cmb_Units.Description"));
    set(cmb_OcrLang, Label3->text());
    // The box's own field takes the keys: it carries the name as well.
    for (QWidget *field : {static_cast<QWidget *>(spn_OcrTimeLimit),
                           static_cast<QWidget *>(spn_OcrTimeLimit->findChild<QLineEdit *>())})
        set(field, Label4->text(),
            tr("A page whose text takes longer to recognise is saved without it",
               "spn_OcrTimeLimit.Description"));
    for (QCheckBox *box : {cb_Update, cb_Save, cb_SkipBlank, cb_Searchable, cb_PdfA})
        set(box, box->text());
    for (QLabel *l : {Label1, Label2, Label3, Label4})
        l->adjustSize();
    for (QCheckBox *box : {cb_Searchable, cb_PdfA, cb_Upright, cb_Straighten, cb_Crop}) {
        const QSize hint = box->sizeHint();
        box->resize(qMax(311, hint.width()), qBound(17, hint.height(), 23));
    }
    // A wider platform font must not cut a caption short; the rows stay 23
    // pixels apart.
    for (QCheckBox *box : {cb_Update, cb_Save, cb_SkipBlank}) {
        const QSize hint = box->sizeHint();
        box->resize(qMax(CheckBoxWidth, hint.width()), qBound(17, hint.height(), 23));
    }
}

QString Tfrm_Settings::ocrLanguageName(const QString &codes) const
{
    QStringList names;
    for (const QString &code : codes.split(QLatin1Char('+'))) {
        if (code == QLatin1String("eng")) {
            names << tr("English", "cmb_OcrLang.eng");
        } else if (code == QLatin1String("rus")) {
            names << tr("Russian", "cmb_OcrLang.rus");
        } else {
            // Other languages by their English names ("chi_sim": Chinese); the
            // code itself where Qt does not know it.
            const QLocale::Language language =
                QLocale::codeToLanguage(code.section(QLatin1Char('_'), 0, 0), QLocale::ISO639Part2);
            names << (language == QLocale::AnyLanguage ? code
                                                       : QLocale::languageToString(language));
        }
    }
    return names.join(QLatin1String(" + "));
}

void Tfrm_Settings::fillOcrLanguages()
{
    // Installed languages may have come or gone since the last showing.
    cmb_OcrLang->clear();
    for (const QString &codes : OcrLanguageChoice::choices())
        cmb_OcrLang->addItem(ocrLanguageName(codes), codes);
    const int i = cmb_OcrLang->findData(
        OcrLanguageChoice::defaultFor(TLangDispatcher::instance().Language()));
    cmb_OcrLang->setCurrentIndex(qMax(i, 0));
}

void Tfrm_Settings::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslateUi();
    QDialog::changeEvent(event);
}

void Tfrm_Settings::showEvent(QShowEvent *event)
{
    // Restoring the minimised dialog is no new showing: reloading the store
    // then would throw away what the user has changed so far.
    if (!event->spontaneous())
        FormShow();
    QDialog::showEvent(event);
}

void Tfrm_Settings::FormShow()
{
    // Each control keeps its state when its value is absent or unreadable.
    SettingsStore store;
    QString lang;
    if (store.readString(SettingsStore::Lang, lang)) {
        const int i = cmb_Lang->findText(lang, Qt::MatchExactly);
        if (i >= 0)
            cmb_Lang->setCurrentIndex(i); // selecting from code does not switch
    }
    int units = 0;
    if (store.readIntegerInRange(SettingsStore::Units, 0, cmb_Units->count() - 1, units))
        cmb_Units->setCurrentIndex(units);
    bool flag = false;
    if (store.readBool(SettingsStore::Save, flag))
        cb_Save->setChecked(flag);
    if (store.readBool(SettingsStore::SkipBlank, flag))
        cb_SkipBlank->setChecked(flag);
    if (store.readBool(SettingsStore::Update, flag))
        cb_Update->setChecked(flag);
    // Recognition is off unless stored on; a stored language that is no longer
    // installed gives way to the default.
    cb_Searchable->setChecked(store.readBool(SettingsStore::SearchablePdf, flag) && flag);
    fillOcrLanguages();
    QString ocrLanguages;
    if (store.readString(SettingsStore::OcrLanguages, ocrLanguages)) {
        const int i = cmb_OcrLang->findData(ocrLanguages);
        if (i >= 0)
            cmb_OcrLang->setCurrentIndex(i);
    }
    int timeLimit = SettingsStore::OcrTimeLimitDefault;
    store.readIntegerInRange(SettingsStore::OcrTimeLimit, SettingsStore::OcrTimeLimitMin,
                             SettingsStore::OcrTimeLimitMax, timeLimit);
    spn_OcrTimeLimit->setValue(timeLimit);
    cb_PdfA->setChecked(store.readBool(SettingsStore::ArchivalPdf, flag) && flag);
    cb_Upright->setChecked(store.readBool(SettingsStore::TurnUpright, flag) && flag);
    cb_Straighten->setChecked(store.readBool(SettingsStore::Straighten, flag) && flag);
    cb_Crop->setChecked(store.readBool(SettingsStore::CropToPage, flag) && flag);
}

void Tfrm_Settings::cmb_LangChange(int index)
{
    TLangDispatcher::instance().setLanguage(cmb_Lang->itemText(index));
}

void Tfrm_Settings::btn_OKClick()
{
    {
        // Written out before anything is applied.
        SettingsStore store;
        store.WriteString(SettingsStore::Lang, cmb_Lang->currentText());
        store.WriteInteger(SettingsStore::Units, cmb_Units->currentIndex());
        store.WriteBool(SettingsStore::Save, cb_Save->isChecked());
        store.WriteBool(SettingsStore::SkipBlank, cb_SkipBlank->isChecked());
        store.WriteBool(SettingsStore::Update, cb_Update->isChecked());
        // A store where recognition was never switched on stays without it.
        if (cb_Searchable->isChecked() || store.ValueExists(SettingsStore::SearchablePdf)) {
            store.WriteBool(SettingsStore::SearchablePdf, cb_Searchable->isChecked());
            if (cmb_OcrLang->currentIndex() >= 0)
                store.WriteString(SettingsStore::OcrLanguages,
                                  cmb_OcrLang->currentData().toString());
        }
        // Absent stays absent until another limit is chosen.
        if (spn_OcrTimeLimit->value() != SettingsStore::OcrTimeLimitDefault ||
            store.ValueExists(SettingsStore::OcrTimeLimit))
            store.WriteInteger(SettingsStore::OcrTimeLimit, spn_OcrTimeLimit->value());
        // Likewise: absent stays absent until the box is first ticked.
        if (cb_PdfA->isChecked() || store.ValueExists(SettingsStore::ArchivalPdf))
            store.WriteBool(SettingsStore::ArchivalPdf, cb_PdfA->isChecked());
        if (cb_Upright->isChecked() || store.ValueExists(SettingsStore::TurnUpright))
            store.WriteBool(SettingsStore::TurnUpright, cb_Upright->isChecked());
        if (cb_Straighten->isChecked() || store.ValueExists(SettingsStore::Straighten))
            store.WriteBool(SettingsStore::Straighten, cb_Straighten->isChecked());
        if (cb_Crop->isChecked() || store.ValueExists(SettingsStore::CropToPage))
            store.WriteBool(SettingsStore::CropToPage, cb_Crop->isChecked());
    }
    emit preferencesApplied(cmb_Units->currentIndex() + 1, cb_SkipBlank->isChecked());
}
