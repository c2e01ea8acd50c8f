#pragma once

#include "about/UpdateChecker.h"

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

// The About box: logo, product name, version, the maker's notice and the
// update check, which runs while the box stays modal and keeps painting.
class Tfrm_About final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Tfrm_About)

public:
    explicit Tfrm_About(QWidget *parent = nullptr);
    ~Tfrm_About() override;

    void FormShow();
    void btn_OKClick();
    void btn_UpdateClick();

    // The check behind btn_Update (tests point it at a local server).
    UpdateChecker *updateChecker() const { return m_checker; }

    QLabel *Image = nullptr;
    QLabel *lbl_Name = nullptr;
    QLabel *lbl_Version = nullptr;
    QLabel *lbl_Copyright = nullptr;
    QFrame *Bevel = nullptr;
    QPushButton *btn_Update = nullptr;
    QPushButton *btn_OK = nullptr;

public slots:
    // Closing the box ends a running check without a word.
    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void retranslateUi();
    void composeVersion();
    void drawLogo();
    void setChecking(bool checking);
    void checkFinished(UpdateChecker::Outcome outcome);

    UpdateChecker *m_checker = nullptr;
};
