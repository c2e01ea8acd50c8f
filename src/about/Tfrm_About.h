#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

// The About box: logo, product name, version, the maker's notice and the
// update check.
class Tfrm_About final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Tfrm_About)

public:
    explicit Tfrm_About(QWidget *parent = nullptr);

    void FormShow();
    void btn_OKClick();
    void btn_UpdateClick();

    QLabel *Image = nullptr;
    QLabel *lbl_Name = nullptr;
    QLabel *lbl_Version = nullptr;
    QLabel *lbl_Copyright = nullptr;
    QFrame *Bevel = nullptr;
    QPushButton *btn_Update = nullptr;
    QPushButton *btn_OK = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void retranslateUi();
};
