#include "about/UpdateNotice.h"

#include "i18n/MessageTables.h"
#include "i18n/TLangTranslator.h"
#include "widgets/UserPrompts.h"

#include <QDesktopServices>
#include <QUrl>

namespace UpdateNotice {

namespace {

QString text(const char *id)
{
    return MessageTables::about().GetTextOrDefault(QLatin1String(id));
}

} // namespace

void askToDownload(QWidget *parent)
{
    const QMessageBox::StandardButton answer =
        UserPrompts::message(parent, QMessageBox::Information, text("IDS_12"), text("IDS_11"),
                             QMessageBox::Yes | QMessageBox::No);
    // Looked up after the answer, in the language active now. A browser that
    // fails to start is not reported.
    if (answer == QMessageBox::Yes)
        QDesktopServices::openUrl(QUrl(text("IDS_14")));
}

void tellNewest(QWidget *parent)
{
    UserPrompts::message(parent, QMessageBox::Information, text("IDS_12"), text("IDS_15"),
                         QMessageBox::Ok);
}

} // namespace UpdateNotice
