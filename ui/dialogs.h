#pragma once
// The standard dialogs a window of the game opens: message boxes with an OK
// button, the system's warning beep, and the file dialogs. Every window
// takes them from whoever opens it, so that a test can answer them in the
// player's place (tests/support/fakedialogs.h).

#include <QString>
#include <QStringList>

class QWidget;

namespace typetoki {

// What a file-open dialog answered.
struct FileDialogAnswer {
    enum Outcome { Chosen, Cancelled, Failed };
    Outcome outcome = Cancelled;
    QString fileName;
};

class Dialogs {
public:
    enum class Look { Plain, Warning };

    virtual ~Dialogs() = default;
    // A message box over owner with an OK button only; returns when the
    // player has closed it.
    virtual void message(QWidget *owner, const QString &title, const QString &text,
                         Look look = Look::Plain) = 0;
    // The system's short warning sound.
    virtual void beep() = 0;
    // A file-open dialog. The filter is a list of caption|pattern pairs
    // separated by '|' ("Text(*.txt)|*.txt|All(*.*)|*.*"); fileName is the
    // name the dialog offers at first (empty: none).
    virtual FileDialogAnswer openFile(QWidget *owner, const QString &filter,
                                      const QString &fileName) = 0;
    // A file-save dialog offering proposed; the file chosen, or empty.
    virtual QString saveFile(QWidget *owner, const QString &caption, const QString &proposed,
                             const QString &filter) = 0;
};

// Qt's own message box, beep and file dialogs. The file-open dialog lets
// the player name a file that does not exist: the caller decides what a
// missing file means.
class QtDialogs final : public Dialogs {
public:
    void message(QWidget *owner, const QString &title, const QString &text, Look look) override;
    void beep() override;
    FileDialogAnswer openFile(QWidget *owner, const QString &filter, const QString &fileName) override;
    QString saveFile(QWidget *owner, const QString &caption, const QString &proposed,
                     const QString &filter) override;
};

// The dialogs the program's windows use.
Dialogs &SystemDialogs();

// The caption|pattern filter as Qt's name filters. "*.*" means every file, as
// it does on Windows, also one without an extension; several patterns of one
// entry may be separated by ';'.
QStringList NameFilters(const QString &filter);

}  // namespace typetoki
