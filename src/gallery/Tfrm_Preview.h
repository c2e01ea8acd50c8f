#pragma once

#include <QDialog>

class QLabel;

// Shows one page file at window size; modal; its size is remembered.
class Tfrm_Preview final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Tfrm_Preview)

public:
    explicit Tfrm_Preview(QWidget *parent = nullptr);

    QString fileName() const { return m_fileName; }
    void setFileName(const QString &name) { m_fileName = name; }

    void FormShow();

protected:
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void retranslateUi();

    QString m_fileName;
};
