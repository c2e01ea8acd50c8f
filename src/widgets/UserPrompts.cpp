#include "widgets/UserPrompts.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>

namespace UserPrompts {

namespace {

Responder &responder()
{
    static Responder r;
    return r;
}

} // namespace

void setResponder(Responder r)
{
    responder() = std::move(r);
}

QMessageBox::StandardButton message(QWidget *parent, QMessageBox::Icon icon, const QString &title,
                                    const QString &text, QMessageBox::StandardButtons buttons)
{
    return message(parent, icon, title, text, buttons, {});
}

QMessageBox::StandardButton message(QWidget *parent, QMessageBox::Icon icon, const QString &title,
                                    const QString &text, QMessageBox::StandardButtons buttons,
                                    const QMap<QMessageBox::StandardButton, QString> &buttonTexts)
{
    if (responder()) {
        Prompt p;
        p.kind = Kind::Message;
        p.icon = icon;
        p.title = title;
        p.text = text;
        p.buttons = buttons;
        p.buttonTexts = buttonTexts;
        return responder()(p).button;
    }
    QMessageBox box(icon, title, text, buttons, parent);
    for (auto it = buttonTexts.cbegin(); it != buttonTexts.cend(); ++it) {
        if (QAbstractButton *button = box.button(it.key()))
            button->setText(it.value());
    }
    // A file path or an error's wording can be selected and copied.
    box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

QString existingFolder(QWidget *parent, const QString &title)
{
    if (responder()) {
        Prompt p;
        p.kind = Kind::ExistingFolder;
        p.title = title;
        return responder()(p).path;
    }
    return QFileDialog::getExistingDirectory(parent, title, QString(), QFileDialog::ShowDirsOnly);
}

QStringList openFiles(QWidget *parent, const QString &title, const QString &filter,
                      const QString &startFolder)
{
    if (responder()) {
        Prompt p;
        p.kind = Kind::OpenFiles;
        p.title = title;
        p.filter = filter;
        p.startFolder = startFolder;
        return responder()(p).paths;
    }
    return QFileDialog::getOpenFileNames(parent, title, startFolder, filter);
}

QString saveFile(QWidget *parent, const QString &suggestedPath, const QString &filter,
                 const QString &defaultSuffix, bool *option, const QString &optionText,
                 bool *secondOption, const QString &secondOptionText, bool *thirdOption,
                 const QString &thirdOptionText)
{
    const bool withOption = option && !optionText.isEmpty();
    const bool withSecond = secondOption && !secondOptionText.isEmpty();
    const bool withThird = thirdOption && !thirdOptionText.isEmpty();
    if (responder()) {
        Prompt p;
        p.kind = Kind::SaveFile;
        p.suggestedPath = suggestedPath;
        p.filter = filter;
        if (withOption) {
            p.option = optionText;
            p.optionChecked = *option;
        }
        if (withSecond) {
            p.secondOption = secondOptionText;
            p.secondOptionChecked = *secondOption;
        }
        if (withThird) {
            p.thirdOption = thirdOptionText;
            p.thirdOptionChecked = *thirdOption;
        }
        const Answer answer = responder()(p);
        if (withOption && !answer.path.isEmpty())
            *option = answer.option;
        if (withSecond && !answer.path.isEmpty())
            *secondOption = answer.secondOption;
        if (withThird && !answer.path.isEmpty())
            *thirdOption = answer.thirdOption;
        return answer.path;
    }
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(filter);
    dialog.setDefaultSuffix(defaultSuffix);
    const QFileInfo suggested(suggestedPath);
    if (suggested.isAbsolute())
        dialog.setDirectory(suggested.absolutePath());
    dialog.selectFile(suggestedPath);
    const auto addBox = [&dialog](bool *state, const QString &text) -> QCheckBox * {
        // A platform's own chooser takes no extra widgets.
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        auto *box = new QCheckBox(text, &dialog);
        box->setChecked(*state);
        if (auto *grid = qobject_cast<QGridLayout *>(dialog.layout()))
            grid->addWidget(box, grid->rowCount(), 0, 1, -1);
        return box;
    };
    QCheckBox *box = withOption ? addBox(option, optionText) : nullptr;
    QCheckBox *second = withSecond ? addBox(secondOption, secondOptionText) : nullptr;
    QCheckBox *third = withThird ? addBox(thirdOption, thirdOptionText) : nullptr;
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    if (box)
        *option = box->isChecked();
    if (second)
        *secondOption = second->isChecked();
    if (third)
        *thirdOption = third->isChecked();
    return dialog.selectedFiles().constFirst();
}

void showError(QWidget *parent, const QString &text)
{
    message(parent ? parent : QApplication::activeWindow(), QMessageBox::Critical,
            QApplication::applicationDisplayName(), text, QMessageBox::Ok);
}

} // namespace UserPrompts
