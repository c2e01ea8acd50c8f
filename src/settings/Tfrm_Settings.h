#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QSpinBox;

// The preferences dialog: language (switched as soon as it is picked), units,
// three switches, text recognition for "Save all to PDF" (on or off, the
// languages, of those installed, and the time one page may take), whether it
// writes archival PDF/A documents, and whether scanned pages are turned upright,
// straightened and cut to the paper. Every opening reloads what the store holds;
// OK stores the values and applies units and blank skipping to the main window.
class Tfrm_Settings final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Tfrm_Settings)

public:
    explicit Tfrm_Settings(QWidget *parent = nullptr);

    void FormShow();
    void cmb_LangChange(int index);
    void btn_OKClick();

    QGroupBox *GroupBox1 = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QComboBox *cmb_Lang = nullptr;
    QComboBox *cmb_Units = nullptr;
    QCheckBox *cb_Update = nullptr;
    QCheckBox *cb_Save = nullptr;
    QCheckBox *cb_SkipBlank = nullptr;
    QGroupBox *GroupBox2 = nullptr;
    QCheckBox *cb_Searchable = nullptr;
    QLabel *Label3 = nullptr;
    // Items show the languages' names; their data are the codes ("rus+eng").
    QComboBox *cmb_OcrLang = nullptr;
    QLabel *Label4 = nullptr;
    // Seconds the recognition of one page may take, in the export and in the
    // background; a page that takes longer gets no text.
    QSpinBox *spn_OcrTimeLimit = nullptr;
    QCheckBox *cb_PdfA = nullptr; // "Save all to PDF" writes PDF/A
    QGroupBox *GroupBox3 = nullptr;
    QGroupBox *GroupBox4 = nullptr;     // PDF files: archiving
    QCheckBox *cb_Upright = nullptr;    // scanned pages turned upright
    QCheckBox *cb_Straighten = nullptr; // scanned pages straightened
    QCheckBox *cb_Crop = nullptr;       // flatbed pages cut to the paper
    QPushButton *btn_OK = nullptr;
    QPushButton *btn_Cancel = nullptr;

signals:
    // OK: the units code (1 inches, 2 millimetres) and the skip-blank flag.
    void preferencesApplied(int unitsCode, bool skipBlank);

protected:
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void retranslateUi();
    void fillOcrLanguages();
    QString ocrLanguageName(const QString &codes) const;
};
