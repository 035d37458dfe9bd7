#pragma once
// The start-up window: title, version, logo and two rows of chant. It waits
// for the player without limit: a click on the frame's free area goes on to
// the game, any key that types a character ends it.
//
// Closing the splash never ends the program by itself, whatever comes after
// is the caller's: it is told by frameClicked() or closedToQuit(), both
// emitted once the window has closed. Every way the splash goes away but the
// click on its frame (a key, Alt+F4, the window manager's close) means
// closedToQuit(). The splash does not delete itself; a receiver that wants
// it gone uses deleteLater().

#include <QWidget>

class QFrame;
class QLabel;

namespace typetoki {

class frmSplash : public QWidget {
    Q_OBJECT
public:
    explicit frmSplash(QWidget *parent = nullptr);

    // Controls, named as the window's design names them.
    QFrame *Frame1 = nullptr;
    QLabel *lblCompanyProduct = nullptr;
    QLabel *imgLogo = nullptr;
    QLabel *lblProductName = nullptr;
    QLabel *lblVersion = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label1 = nullptr;

signals:
    void frameClicked();
    void closedToQuit();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    // True when the key types a character, and the splash has closed.
    bool Form_KeyPress(QKeyEvent *event);

    bool framePressed_ = false;
    bool done_ = false;      // closed, or closing
    bool goingOn_ = false;   // by the click on the frame
};

}  // namespace typetoki
