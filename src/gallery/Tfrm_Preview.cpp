#include "gallery/Tfrm_Preview.h"

#include "pages/PagePicture.h"
#include "gallery/PreviewImage.h"
#include "i18n/MessageTables.h"
#include "i18n/TLangTranslator.h"
#include "settings/SettingsStore.h"
#include "widgets/AccessibleText.h"

#include <QEvent>
#include <QVBoxLayout>

namespace {

constexpr int DesignWidth = 435;
constexpr int DesignHeight = 551;
constexpr int ImageMargin = 3;
// Larger stored sizes are treated as absent, as for the main window.
constexpr int MaxWindowSide = 32767;

} // namespace

Tfrm_Preview::Tfrm_Preview(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Tfrm_Preview"));
    setModal(true);
    setSizeGripEnabled(true);
    Image = new PreviewImage(this);
    Image->setObjectName(QStringLiteral("Image"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(ImageMargin, ImageMargin, ImageMargin, ImageMargin);
    layout->addWidget(Image);
    resize(DesignWidth, DesignHeight);
    retranslateUi();
}

bool Tfrm_Preview::LoadPicture(const QString &path, QString *error)
{
    const QImage picture = PagePicture::load(path, m_fileName, error);
    if (picture.isNull())
        return false;
    Image->setPicture(picture);
    return true;
}

void Tfrm_Preview::retranslateUi()
{
    AccessibleText::set(Image, tr("Scanned page", "Image.AccessibleName"));
    // Shown, the caption names the file; hidden, the next showing composes it anew.
    if (isVisible())
        setWindowTitle(MessageTables::preview().GetTextOrDefault(QStringLiteral("IDS_0")) +
                       m_fileName);
    else
        setWindowTitle(tr("Previewing", "Tfrm_Preview"));
}

void Tfrm_Preview::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslateUi();
    QDialog::changeEvent(event);
}

void Tfrm_Preview::setVisible(bool visible)
{
    // Before the dialog places itself, so it centres at the restored size.
    if (visible && !isVisible())
        FormShow();
    QDialog::setVisible(visible);
}

void Tfrm_Preview::done(int result)
{
    // Every way of closing ends here (Escape, the close button, accept).
    if (isVisible())
        FormClose();
    QDialog::done(result);
}

void Tfrm_Preview::FormShow()
{
    setWindowTitle(MessageTables::preview().GetTextOrDefault(QStringLiteral("IDS_0")) + m_fileName);
    SettingsStore store;
    int w = width();
    int h = height();
    store.readIntegerInRange(SettingsStore::PWidth, 1, MaxWindowSide, w);
    store.readIntegerInRange(SettingsStore::PHeight, 1, MaxWindowSide, h);
    resize(w, h);
}

void Tfrm_Preview::FormClose()
{
    SettingsStore store;
    store.WriteInteger(SettingsStore::PWidth, width());
    store.WriteInteger(SettingsStore::PHeight, height());
}
