#pragma once

#include <QString>

class QWidget;

// Names and descriptions for screen readers. Windows call these from their
// retranslateUi, so the names follow the interface language.
namespace AccessibleText {

// A visible caption as a spoken name: mnemonic '&' removed ("&&" stays one
// '&'), a trailing ':' and blanks dropped ("File name:" -> "File name").
QString fromCaption(const QString &caption);

// Sets the accessible name from a caption and, when given, the description.
void set(QWidget *widget, const QString &caption, const QString &description = QString());

} // namespace AccessibleText
