#pragma once

#include <QMap>
#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

// Every question, notice and file chooser the windows show goes through here,
// so that end-to-end tests can answer them without a person at the screen.
namespace UserPrompts {

enum class Kind
{
    Message,
    ExistingFolder,
    OpenFiles,
    SaveFile
};

struct Prompt
{
    Kind kind = Kind::Message;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString title;
    QString text;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    // Captions that replace the standard ones, where a question offers actions.
    QMap<QMessageBox::StandardButton, QString> buttonTexts;
    // SaveFile: the name offered and the filter.
    QString suggestedPath;
    // OpenFiles: the folder the chooser opens in.
    QString startFolder;
    QString filter;
    // SaveFile: the text of a check box under the chooser (none when empty), and
    // whether it is ticked when the chooser opens.
    QString option;
    bool optionChecked = false;
    // SaveFile: a second check box under the first, the same way.
    QString secondOption;
    bool secondOptionChecked = false;
    // SaveFile: a third one under the second.
    QString thirdOption;
    bool thirdOptionChecked = false;
};

struct Answer
{
    QMessageBox::StandardButton button = QMessageBox::NoButton;
    QString path;           // empty: cancelled
    QStringList paths = {}; // OpenFiles: the files chosen; empty: cancelled
    bool option = false;
    bool secondOption = false;
    bool thirdOption = false;
};

// A modal message box owned by parent; returns the button pressed.
QMessageBox::StandardButton message(QWidget *parent, QMessageBox::Icon icon, const QString &title,
                                    const QString &text,
                                    QMessageBox::StandardButtons buttons = QMessageBox::Ok);
// The same with the buttons' captions given, e.g. "List again" for Yes.
QMessageBox::StandardButton message(QWidget *parent, QMessageBox::Icon icon, const QString &title,
                                    const QString &text, QMessageBox::StandardButtons buttons,
                                    const QMap<QMessageBox::StandardButton, QString> &buttonTexts);

// The folder browser; an empty string when cancelled.
QString existingFolder(QWidget *parent, const QString &title);
// Existing files to open, the chooser opening in startFolder; empty when cancelled.
QStringList openFiles(QWidget *parent, const QString &title, const QString &filter,
                      const QString &startFolder = {});

// A save dialog that asks before overwriting; an empty string when cancelled.
// With an optionText, a check box under the chooser shows and returns *option;
// with a secondOptionText, another one below it does the same for *secondOption,
// and a thirdOptionText one more for *thirdOption.
QString saveFile(QWidget *parent, const QString &suggestedPath, const QString &filter,
                 const QString &defaultSuffix, bool *option = nullptr,
                 const QString &optionText = {}, bool *secondOption = nullptr,
                 const QString &secondOptionText = {}, bool *thirdOption = nullptr,
                 const QString &thirdOptionText = {});

// The application's generic error display: the error's text in a message box.
void showError(QWidget *parent, const QString &text);

// Tests install a responder; nothing is shown while one is set.
using Responder = std::function<Answer(const Prompt &)>;
void setResponder(Responder responder);

} // namespace UserPrompts
