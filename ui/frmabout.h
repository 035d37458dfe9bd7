#pragma once
// The About screen: title, version, the game's description and warning, who
// made it, and a way to the system's own information tool.

#include "platform/registry.h"
#include "ui/dialogs.h"

#include <QDialog>
#include <array>

class QLabel;
class QLineEdit;
class QPushButton;

namespace typetoki {

class frmAbout : public QDialog {
    Q_OBJECT
public:
    explicit frmAbout(Dialogs &dialogs = SystemDialogs(), QWidget *parent = nullptr);

    // Controls, named as the window's design names them.
    QLabel *Image1 = nullptr;
    QLabel *lblTitle = nullptr;
    QLabel *lblVersion = nullptr;
    QLabel *lblDescription = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *lblDisclaimer = nullptr;
    std::array<QLineEdit *, 3> Text1{};
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdSysInfo = nullptr;

    // What "ｼｽﾃﾑ情報(&S)..." uses: this machine's registry, files and PATH,
    // unless a test puts others in place. Its message goes to the dialogs
    // whatever showMessage holds.
    SysInfoHooks sysInfo;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    Dialogs &dialogs_;
    SystemRegistry registry_;
};

}  // namespace typetoki
