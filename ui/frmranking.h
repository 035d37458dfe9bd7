#pragma once
// The ランキング dialog of the ｵﾌﾟｼｮﾝ menu: which PostgreSQL server holds the
// boards shared by a class or a club, the group, and the player's name
// there, with a button that tries the connection and says in Japanese what
// stands in the way. A password typed there goes to libpq's password file
// (~/.pgpass), never to typetoki.conf.

#include "persistence/sharedranking.h"

#include <QDialog>
#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace typetoki {

class frmRanking : public QDialog {
    Q_OBJECT
public:
    explicit frmRanking(const RankingSettings &settings, QWidget *parent = nullptr);
    ~frmRanking() override;

    RankingSettings settings() const;

    QLineEdit *Text1 = nullptr;  // server
    QLineEdit *Text2 = nullptr;  // group
    QLineEdit *Text3 = nullptr;  // name
    QLineEdit *Text4 = nullptr;  // password, empty: the one the password file has
    QLabel *Label4 = nullptr;    // what the last try found
    QPushButton *Command1 = nullptr;  // try the connection
    QPushButton *Command2 = nullptr;  // OK
    QPushButton *Command3 = nullptr;  // cancel

    // Tries the settings on a thread of its own; the window stays live and
    // shows the answer when it comes.
    void Command1_Click();
    bool testing() const { return bool(test_); }
    // Keeps a typed password in the password file, then closes; a password
    // that cannot be kept says why and leaves the window open.
    void Command2_Click();

private:
    struct Test;
    void poll();

    std::shared_ptr<Test> test_;
    QTimer *poll_ = nullptr;
};

}  // namespace typetoki
