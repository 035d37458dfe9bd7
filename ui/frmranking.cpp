#include "ui/frmranking.h"

#include "ui/layout.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <atomic>
#include <system_error>
#include <thread>

namespace typetoki {

// Shared with the thread that tries the server; a window closed meanwhile
// leaves it to the thread.
struct frmRanking::Test {
    std::atomic<bool> done{false};
    RankingProblem problem = RankingProblem::None;
    QString detail;
};

frmRanking::frmRanking(const RankingSettings &settings, QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("ランキング"));
    setFont(JapaneseFont(9));
    Text1 = new QLineEdit(settings.server, this);
    Text1->setPlaceholderText(QStringLiteral("postgresql://ユーザー@ホスト/データベース"));
    Text2 = new QLineEdit(settings.group, this);
    Text2->setPlaceholderText(QStringLiteral("クラスやクラブの名前"));
    Text3 = new QLineEdit(settings.player, this);
    Text4 = new QLineEdit(this);
    Text4->setEchoMode(QLineEdit::Password);
    Text4->setPlaceholderText(QStringLiteral("変えるときだけ"));
    Label4 = new QLabel(this);
    Label4->setTextFormat(Qt::PlainText);  // the server's own words come here
    Label4->setWordWrap(true);
    auto *note = new QLabel(QStringLiteral("パスワードは typetoki.conf には書かず、%1 に保存します。"
                                           "サーバーを空にすると、ランキングを使いません。")
                                .arg(PasswordFilePath()),
                            this);
    note->setTextFormat(Qt::PlainText);
    note->setWordWrap(true);
    Command1 = new QPushButton(QStringLiteral("接続を試す(&T)"), this);
    Command2 = new QPushButton(QStringLiteral("OK"), this);
    Command3 = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    Command2->setDefault(true);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("サーバー(&S)"), Text1);
    form->addRow(QStringLiteral("グループ(&G)"), Text2);
    form->addRow(QStringLiteral("名前(&N)"), Text3);
    form->addRow(QStringLiteral("パスワード(&P)"), Text4);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(Command1);
    buttons->addStretch();
    buttons->addWidget(Command2);
    buttons->addWidget(Command3);
    auto *page = new QVBoxLayout(this);
    page->addLayout(form);
    page->addWidget(note);
    page->addWidget(Label4);
    page->addLayout(buttons);
    resize(Px(7200), sizeHint().height());

    poll_ = new QTimer(this);
    poll_->setInterval(50);
    connect(poll_, &QTimer::timeout, this, &frmRanking::poll);
    connect(Command1, &QPushButton::clicked, this, &frmRanking::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frmRanking::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &QDialog::reject);
}

frmRanking::~frmRanking() = default;

RankingSettings frmRanking::settings() const
{
    return {Text1->text().trimmed(), Text2->text().trimmed(), Text3->text()};
}

void frmRanking::Command1_Click()
{
    if (test_)
        return;
    const RankingSettings tried = settings();
    const QString password = Text4->text();
    if (!tried.configured()) {
        Label4->setText(QStringLiteral("サーバーとグループを入れてください。"));
        return;
    }
    test_ = std::make_shared<Test>();
    try {
        std::thread([test = test_, tried, password] {
            test->problem = TestRankingServer(tried, &test->detail, password);
            test->done = true;
        }).detach();
    } catch (const std::system_error &) {
        test_.reset();
        return;
    }
    Command1->setEnabled(false);
    Label4->setText(QStringLiteral("接続しています…"));
    poll_->start();
}

void frmRanking::poll()
{
    if (!test_ || !test_->done)
        return;
    poll_->stop();
    QString text = RankingProblemText(test_->problem);
    if (test_->problem != RankingProblem::None && !test_->detail.trimmed().isEmpty())
        text += QStringLiteral("\n（") + test_->detail.trimmed().left(300) + QStringLiteral("）");
    Label4->setText(text);
    test_.reset();
    Command1->setEnabled(true);
}

}  // namespace typetoki

namespace typetoki {

void frmRanking::Command2_Click()
{
    const QString password = Text4->text();
    if (!password.isEmpty()) {
        QString error;
        const auto address = ParseServerAddress(settings().server, &error);
        if (!address || !StorePassword(PasswordFilePath(), *address, password, &error)) {
            Label4->setText(QStringLiteral("パスワードを保存できませんでした（%1）。").arg(error));
            return;
        }
    }
    accept();
}

}  // namespace typetoki
