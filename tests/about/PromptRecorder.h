#pragma once

#include "mainwindow/UserPrompts.h"

#include <QDesktopServices>
#include <QList>
#include <QObject>
#include <QUrl>

// Answers every message box with a chosen button and keeps what was asked;
// catches the web addresses that would open in the browser.
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
    QList<UserPrompts::Prompt> prompts;
    QList<QUrl> opened;

public slots:
    void openUrl(const QUrl &url) { opened.append(url); }
};
