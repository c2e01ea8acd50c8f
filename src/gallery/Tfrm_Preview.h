#pragma once

#include <QDialog>

class PreviewImage;

// Shows one page file at window size; modal; its size is remembered in the
// settings (PWidth, PHeight) at every close and restored at every showing.
class Tfrm_Preview final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Tfrm_Preview)

public:
    explicit Tfrm_Preview(QWidget *parent = nullptr);

    // The caption of the list entry being shown (a file name without folder).
    QString fileName() const { return m_fileName; }
    void setFileName(const QString &name) { m_fileName = name; }

    // Loads the page file at path into Image, choosing the reader from the file
    // name set before. False with the reason in *error; the window keeps its
    // previous picture then.
    bool LoadPicture(const QString &path, QString *error = nullptr);

    void FormShow();
    void FormClose();

    void setVisible(bool visible) override;
    void done(int result) override;

    PreviewImage *Image = nullptr;

protected:
    void changeEvent(QEvent *event) override;

private:
    void retranslateUi();

    QString m_fileName;
};
