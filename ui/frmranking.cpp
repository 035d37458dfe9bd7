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
    Label4 = new QLabel(this);
    Label4->setTextFormat(Qt::PlainText);  // the server's own words come here
    Label4->setWordWrap(true);
    auto *note = new QLabel(QStringLiteral("パスワードはここには書かず、~/.pgpass に書いてください。"
                                           "サーバーを空にすると、ランキングを使いません。"),
                            this);
    note->setWordWrap(true);
    Command1 = new QPushButton(QStringLiteral("接続を試す(&T)"), this);
    Command2 = new QPushButton(QStringLiteral("OK"), this);
    Command3 = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    Command2->setDefault(true);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("サーバー(&S)"), Text1);
    form->addRow(QStringLiteral("グループ(&G)"), Text2);
    form->addRow(QStringLiteral("名前(&N)"), Text3);
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
    connect(Command2, &QPushButton::clicked, this, &QDialog::accept);
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
    if (!tried.configured()) {
        Label4->setText(QStringLiteral("サーバーとグループを入れてください。"));
        return;
    }
    test_ = std::make_shared<Test>();
    try {
        std::thread([test = test_, tried] {
            test->problem = TestRankingServer(tried, &test->detail);
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
