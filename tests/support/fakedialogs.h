#pragma once
// Standard dialogs answered from a script: every message box is noted, beeps
// are counted, and each file dialog takes the next answer in line
// (cancelled when none is left), noting what it was shown.

#include "ui/dialogs.h"

#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

namespace typetoki::testing {

class FakeDialogs final : public Dialogs {
public:
    struct Message {
        QString title, text;
        Look look;
    };

    void message(QWidget *, const QString &title, const QString &text, Look look) override
    {
        messages.push_back({title, text, look});
        if (onMessage)
            onMessage();
    }
    void beep() override { ++beeps; }
    FileDialogAnswer openFile(QWidget *, const QString &filter, const QString &fileName) override
    {
        filters << filter;
        offered << fileName;
        if (answers.empty())
            return {};
        const FileDialogAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    // Answered and noted as a file-open dialog is.
    QString saveFile(QWidget *owner, const QString &, const QString &proposed,
                     const QString &filter) override
    {
        const FileDialogAnswer answer = openFile(owner, filter, proposed);
        return answer.outcome == FileDialogAnswer::Chosen ? answer.fileName : QString();
    }

    // The messages' texts, in the order they were shown.
    QStringList texts() const
    {
        QStringList all;
        for (const Message &m : messages)
            all << m.text;
        return all;
    }

    std::vector<Message> messages;
    std::function<void()> onMessage;  // once the box is noted, as if it had been closed
    int beeps = 0;
    std::deque<FileDialogAnswer> answers;
    QStringList filters;
    QStringList offered;
};

}  // namespace typetoki::testing
