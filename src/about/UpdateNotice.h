#pragma once

class QWidget;

// What the update check says, in the active language, as message boxes owned
// by parent: the About box after its button, the main window after the quiet
// check at start-up.
namespace UpdateNotice {

// The Yes/No question; Yes opens the download page of the active language.
void askToDownload(QWidget *parent);

// "You are using the newest version of Pagora Pro".
void tellNewest(QWidget *parent);

} // namespace UpdateNotice
