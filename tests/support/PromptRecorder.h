#pragma once

#include "widgets/UserPrompts.h"

#include <QDesktopServices>
#include <QList>
#include <QObject>
#include <QUrl>

// The tests' one answer to every question, notice and file chooser: message boxes
// get `answer` when they offer it (OK otherwise), folder and save dialogs get
// `path` (empty: cancelled); everything asked is kept in `prompts`. Web addresses
// that would open in the browser are caught in `opened`.
class PromptRecorder final : public QObject
{
    Q_OBJECT

public:
    explicit PromptRecorder(QObject *parent = nullptr) : QObject(parent)
    {
        UserPrompts::setResponder([this](const UserPrompts::Prompt &p) {
            prompts.append(p);
            UserPrompts::Answer a;
            a.button = p.buttons.testFlag(answer) ? answer : QMessageBox::Ok;
            a.path = path;
            a.paths = paths;
            a.option = option;
            a.secondOption = secondOption;
            a.thirdOption = thirdOption;
            return a;
        });
        QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "openUrl");
        QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "openUrl");
    }

    ~PromptRecorder() override
    {
        UserPrompts::setResponder({});
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    }

    QMessageBox::StandardButton answer = QMessageBox::No;
    QString path;
    QStringList paths;         // what a file chooser for several files answers
    bool option = false;       // a save dialog's check box
    bool secondOption = false; // and the one below it
    bool thirdOption = false;  // and the third
    QList<UserPrompts::Prompt> prompts;
    QList<QUrl> opened;

public slots:
    void openUrl(const QUrl &url) { opened.append(url); }
};
