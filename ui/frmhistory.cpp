#include "ui/frmhistory.h"

#include "persistence/historystore.h"
#include "engine/gamemode.h"
#include "ui/layout.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QButtonGroup>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QDateTimeAxis>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QLineSeries>
#include <QPainter>
#include <QPainterPath>
#include <QProgressDialog>
#include <QPushButton>
#include <QScatterSeries>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QToolTip>
#include <QValueAxis>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <thread>

namespace typetoki {

namespace {

// The modes are named as on the high-score board's buttons.
QString ModeCaption(GameMode mode)
{
    const ModeRow *row = RowOf(mode);
    return row ? Text(row->boardButton) : QString::number(int(mode));
}

// Texts typed through the input method list their characters as well as
// the keys.
bool ListsCharacters(int gameMode)
{
    const ModeRow *row = RowOf(GameMode(gameMode));
    return row && row->typesText;
}

constexpr int kRecentGames = 100;

// ---- the keyboard ----

struct KeyDesign {
    QString label;    // the main legend
    QString shifted;  // the legend above it
    double width;     // in key widths
    QString types;    // the characters it types, after width folding
};

struct PlacedKey {
    KeyDesign design;
    QRectF rect;  // in key widths; for Enter, the upper part
    QPainterPath shape;
};

constexpr double kGap = 0.06;  // between two keys, in key widths
constexpr double kRowWidth = 15;

KeyDesign Key(const char *label, const char *shifted, double width, const char *types)
{
    return {QString::fromUtf8(label), QString::fromUtf8(shifted), width, QString::fromUtf8(types)};
}

std::vector<KeyDesign> Letters(const char *letters)
{
    std::vector<KeyDesign> keys;
    for (const char *c = letters; *c; ++c) {
        const QString upper(QChar::fromLatin1(*c));
        keys.push_back({upper, QString(), 1, upper.toLower() + upper});
    }
    return keys;
}

std::vector<KeyDesign> Row(std::initializer_list<std::vector<KeyDesign>> parts)
{
    std::vector<KeyDesign> row;
    for (const auto &part : parts)
        row.insert(row.end(), part.begin(), part.end());
    return row;
}

// The JIS layout of 106/109-key keyboards. The signs an input method turns
// a key into (、。ー「」・〜) count for that key.
const std::vector<PlacedKey> &Layout()
{
    static const std::vector<PlacedKey> layout = [] {
        const std::vector<KeyDesign> rows[] = {
            Row({{Key("半/全", "", 1, "")},
                 {Key("1", "!", 1, "1!"), Key("2", "\"", 1, "2\""), Key("3", "#", 1, "3#"),
                  Key("4", "$", 1, "4$"), Key("5", "%", 1, "5%"), Key("6", "&", 1, "6&"),
                  Key("7", "'", 1, "7'"), Key("8", "(", 1, "8("), Key("9", ")", 1, "9)"),
                  Key("0", "", 1, "0"), Key("-", "=", 1, "-=ー"), Key("^", "~", 1, "^~〜"),
                  Key("¥", "|", 1, "¥|"), Key("BS", "", 1, "")}}),
            Row({{Key("Tab", "", 1.5, "")}, Letters("QWERTYUIOP"),
                 {Key("@", "`", 1, "@`"), Key("[", "{", 1, "[{「"), Key("Enter", "", 1.5, "")}}),
            Row({{Key("英数", "", 1.75, "")}, Letters("ASDFGHJKL"),
                 {Key(";", "+", 1, ";+"), Key(":", "*", 1, ":*"), Key("]", "}", 1, "]}」"),
                  Key("Enter", "", 1.25, "")}}),
            Row({{Key("Shift", "", 2.25, "")}, Letters("ZXCVBNM"),
                 {Key(",", "<", 1, ",<、"), Key(".", ">", 1, ".>。"), Key("/", "?", 1, "/?・"),
                  Key("＼", "_", 1, "\\_"), Key("Shift", "", 1.75, "")}}),
            Row({{Key("Ctrl", "", 1.5, ""), Key("Win", "", 1.25, ""), Key("Alt", "", 1.25, ""),
                  Key("無変換", "", 1.25, ""), Key("", "", 4.5, " "), Key("変換", "", 1.25, ""),
                  Key("かな", "", 1.25, ""), Key("Alt", "", 1.25, ""), Key("Ctrl", "", 1.5, "")}}),
        };
        std::vector<PlacedKey> keys;
        for (int y = 0; y < int(std::size(rows)); ++y) {
            double x = 0;
            for (const KeyDesign &design : rows[y]) {
                const QRectF rect(x, y, design.width, 1);
                x += design.width;
                auto upper = std::find_if(keys.begin(), keys.end(), [&](const PlacedKey &k) {
                    return k.design.label == design.label && k.rect.bottom() == y;
                });
                if (design.label == QLatin1String("Enter") && upper != keys.end()) {
                    // Enter spans two rows, narrower below: one L-shaped key.
                    const QRectF top = upper->rect;
                    QPainterPath l;
                    l.addPolygon(QPolygonF({{top.left() + kGap, top.top() + kGap},
                                            {top.right() - kGap, top.top() + kGap},
                                            {rect.right() - kGap, rect.bottom() - kGap},
                                            {rect.left() + kGap, rect.bottom() - kGap},
                                            {rect.left() + kGap, top.bottom() - kGap},
                                            {top.left() + kGap, top.bottom() - kGap}}));
                    l.closeSubpath();
                    upper->shape = l;
                    continue;
                }
                QPainterPath shape;
                shape.addRoundedRect(rect.adjusted(kGap, kGap, -kGap, -kGap), 0.12, 0.12);
                keys.push_back({design, rect, shape});
            }
            Q_ASSERT(std::abs(x - kRowWidth) < 1e-9);
        }
        return keys;
    }();
    return layout;
}

int KeyOfTarget(const QString &target)
{
    const QString folded = target.normalized(QString::NormalizationForm_KC);
    if (folded.size() != 1)
        return -1;
    const std::vector<PlacedKey> &keys = Layout();
    for (size_t i = 0; i < keys.size(); ++i) {
        if (keys[i].design.types.contains(folded[0]))
            return int(i);
    }
    return -1;
}

// Pale green for a key that never slips, through yellow, to red from one
// miss in seven on.
QColor MissColour(double rate)
{
    struct Stop {
        double rate;
        QColor colour;
    };
    static const Stop stops[] = {{0, QColor(198, 239, 198)},
                                 {0.04, QColor(255, 242, 150)},
                                 {0.08, QColor(255, 170, 90)},
                                 {0.15, QColor(232, 72, 72)}};
    if (rate <= stops[0].rate)
        return stops[0].colour;
    for (size_t i = 1; i < std::size(stops); ++i) {
        if (rate <= stops[i].rate) {
            const double t = (rate - stops[i - 1].rate) / (stops[i].rate - stops[i - 1].rate);
            const QColor a = stops[i - 1].colour, b = stops[i].colour;
            return QColor::fromRgbF(float(a.redF() + t * (b.redF() - a.redF())),
                                    float(a.greenF() + t * (b.greenF() - a.greenF())),
                                    float(a.blueF() + t * (b.blueF() - a.blueF())));
        }
    }
    return stops[std::size(stops) - 1].colour;
}

const QColor kUntyped(236, 236, 236);
const QColor kNoCharacter(208, 208, 212);

QString Percent(double rate)
{
    return QString::number(rate * 100, 'f', rate < 0.1 ? 2 : 1) + u'%';
}

// A target as a label: blanks would not show.
QString Shown(const QString &target)
{
    if (target == QLatin1String(" "))
        return QStringLiteral("␣");
    if (target == QStringLiteral("\u3000"))
        return QStringLiteral("全␣");
    return target;
}

// ---- charts ----

QChart *NewChart(const QString &title)
{
    auto *chart = new QChart;
    chart->setTitle(title);
    chart->setTitleFont(JapaneseFont(10));
    chart->legend()->setFont(JapaneseFont(9));
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->setMargins(QMargins(4, 4, 4, 4));
    chart->setAnimationOptions(QChart::NoAnimation);
    return chart;
}

QChartView *NewChartView(QChart *chart)
{
    auto *view = new QChartView(chart);
    view->setRenderHint(QPainter::Antialiasing);
    return view;
}

void StyleAxis(QAbstractAxis *axis, const QString &title)
{
    axis->setTitleText(title);
    axis->setTitleFont(JapaneseFont(9));
    axis->setLabelsFont(JapaneseFont(8));
}

// Removes the axes and series a chart was last filled with.
void ClearChart(QChart *chart)
{
    chart->removeAllSeries();
    for (QAbstractAxis *axis : chart->axes()) {
        chart->removeAxis(axis);
        delete axis;
    }
}

QString Seconds(double s)
{
    return QString::number(s, 'f', 3);
}

// A step that puts the spread of unit times in at most 18 bars, few enough
// for their labels to be read.
double BinWidth(double span)
{
    for (double step : {0.01, 0.02, 0.05, 0.1, 0.2, 0.5, 1.0, 2.0, 5.0}) {
        if (span / step <= 18)
            return step;
    }
    return 10;
}

}  // namespace

// ---- KeyboardPicture ----

KeyboardPicture::KeyboardPicture(QWidget *parent) : QWidget(parent), sums_(Layout().size())
{
    setMouseTracking(true);
    setMinimumSize(450, 190);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

QSize KeyboardPicture::sizeHint() const
{
    return {760, 320};
}

void KeyboardPicture::setTargets(const std::vector<TargetFigures> &targets)
{
    sums_.assign(Layout().size(), Sum{});
    for (const TargetFigures &t : targets) {
        const int key = KeyOfTarget(t.target);
        if (key < 0)
            continue;
        Sum &s = sums_[size_t(key)];
        s.targeted += t.targeted;
        s.missed += t.missed;
        s.timedHits += t.timedHits;
        s.hitSeconds += t.hitSeconds;
    }
    update();
}

// Key widths in pixels: the rows and the legend below them fill the widget.
double KeyboardPicture::unit() const
{
    return std::min(width() / (kRowWidth + 0.2), height() / 6.6);
}

QTransform KeyboardPicture::toPixels() const
{
    const double u = unit();
    // Centred across, at the top: the room below goes to the list under it.
    return QTransform::fromTranslate((width() - kRowWidth * u) / 2, 0.1 * u).scale(u, u);
}

int KeyboardPicture::keyAt(QPointF point) const
{
    const QPointF inKeys = toPixels().inverted().map(point);
    const std::vector<PlacedKey> &keys = Layout();
    for (size_t i = 0; i < keys.size(); ++i) {
        if (keys[i].shape.contains(inKeys))
            return int(i);
    }
    return -1;
}

QRectF KeyboardPicture::keyRect(const QString &label) const
{
    for (const PlacedKey &key : Layout()) {
        if (key.design.label == label)
            return toPixels().mapRect(key.rect);
    }
    return {};
}

QString KeyboardPicture::figuresAt(QPoint point) const
{
    const int key = keyAt(point);
    if (key < 0 || Layout()[size_t(key)].design.types.isEmpty())
        return {};
    const KeyDesign &design = Layout()[size_t(key)].design;
    const QString name = design.label.isEmpty() ? QStringLiteral("スペース") : design.label;
    const Sum &s = sums_[size_t(key)];
    if (s.targeted == 0)
        return QStringLiteral("%1 キー：まだ打っていません").arg(name);
    QString text = QStringLiteral("%1 キー：出題 %2 回、ミス %3 回（%4）")
                       .arg(name)
                       .arg(s.targeted)
                       .arg(s.missed)
                       .arg(Percent(double(s.missed) / double(s.targeted)));
    if (s.timedHits > 0)
        text += QStringLiteral("\n打つまでの平均 %1 秒").arg(Seconds(s.hitSeconds / double(s.timedHits)));
    return text;
}

bool KeyboardPicture::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        const QString text = figuresAt(help->pos());
        if (text.isEmpty()) {
            QToolTip::hideText();
            event->ignore();
        } else {
            QToolTip::showText(help->globalPos(), text, this);
        }
        return true;
    }
    return QWidget::event(event);
}

void KeyboardPicture::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const double u = unit();
    const QTransform toPixels = this->toPixels();
    QFont legend = JapaneseFont(9);
    QFont small = JapaneseFont(7);
    legend.setPixelSize(std::max(8, int(u * 0.32)));
    small.setPixelSize(std::max(7, int(u * 0.2)));

    const std::vector<PlacedKey> &keys = Layout();
    for (size_t i = 0; i < keys.size(); ++i) {
        const PlacedKey &key = keys[i];
        const Sum &s = sums_[i];
        const QColor fill = key.design.types.isEmpty() ? kNoCharacter
                            : s.targeted == 0          ? kUntyped
                                                       : MissColour(double(s.missed) / double(s.targeted));
        p.setPen(QPen(QColor(96, 96, 104), 1));
        p.setBrush(fill);
        p.drawPath(toPixels.map(key.shape));

        const QRectF box = toPixels.mapRect(key.rect.adjusted(kGap + 0.08, kGap + 0.04, -kGap - 0.08, -kGap - 0.04));
        p.setPen(QColor(32, 32, 40));
        p.setFont(legend);
        const bool twoLegends = !key.design.shifted.isEmpty();
        p.drawText(box, (twoLegends ? Qt::AlignLeft | Qt::AlignBottom : Qt::AlignLeft | Qt::AlignTop),
                   key.design.label);
        if (twoLegends)
            p.drawText(box, Qt::AlignLeft | Qt::AlignTop, key.design.shifted);
        if (s.targeted > 0) {
            p.setFont(small);
            p.drawText(box, Qt::AlignRight | Qt::AlignBottom, Percent(double(s.missed) / double(s.targeted)));
        }
    }

    // The scale of colours under the keys.
    p.setFont(small);
    const QRectF bar = toPixels.mapRect(QRectF(3, 5.35, 6, 0.35));
    QLinearGradient gradient(bar.topLeft(), bar.topRight());
    for (double r : {0.0, 0.04, 0.08, 0.15})
        gradient.setColorAt(r / 0.15, MissColour(r));
    p.setPen(QColor(96, 96, 104));
    p.setBrush(gradient);
    p.drawRect(bar);
    p.setPen(QColor(32, 32, 40));
    const QRectF caption = toPixels.mapRect(QRectF(0, 5.3, 2.9, 0.45));
    p.drawText(caption, Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("ミス率 0%"));
    p.drawText(toPixels.mapRect(QRectF(9.1, 5.3, 2, 0.45)), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("15% 以上"));
    const QRectF untyped = toPixels.mapRect(QRectF(11.3, 5.35, 0.5, 0.35));
    p.setPen(QColor(96, 96, 104));
    p.setBrush(kUntyped);
    p.drawRect(untyped);
    p.setPen(QColor(32, 32, 40));
    p.drawText(toPixels.mapRect(QRectF(11.9, 5.3, 3, 0.45)), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("まだ打っていないキー"));
}

// ---- frmHistory ----

namespace {

// Waits for a read of the history with the window still painted: at once
// when it is quick; otherwise with the player's input held back, so that
// nothing starts a second read meanwhile, and past a tenth of a second
// with a busy indicator.
void WaitForRead(QWidget *window, const std::function<bool()> &done)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 30)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (done())
        return;
    std::unique_ptr<QProgressDialog> busy;
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done()) {
            loop.quit();
        } else if (!busy && clock.elapsed() >= 100) {
            busy = std::make_unique<QProgressDialog>(QStringLiteral("成績の記録を読んでいます…"), QString(), 0, 0,
                                                     window);
            busy->setWindowTitle(QStringLiteral("成績の記録"));
            busy->setWindowModality(Qt::WindowModal);
            busy->setMinimumDuration(0);
            busy->show();
        }
    });
    poll.start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace

frmHistory::frmHistory(HistoryStore &store, int gameMode, int timeLimitSeconds, Dialogs &dialogs,
                       QWidget *parent)
    : frmHistory(store.path(), [&store] {
          // A game just handed over is written in a moment; wait that long
          // rather than show it twice or not at all.
          store.WaitForIdle(200);
          return store.Unwritten();
      }(),
                 gameMode, timeLimitSeconds, dialogs, parent)
{
}

frmHistory::frmHistory(const QString &historyPath, const std::vector<GameResult> &unwritten, int gameMode,
                       int timeLimitSeconds, Dialogs &dialogs, QWidget *parent)
    : QDialog(parent), dialogs_(dialogs),
      reader_(std::make_unique<HistoryReaderThread>(
          historyPath, unwritten, [this](const std::function<bool()> &done) { WaitForRead(this, done); }))
{
    SetUpSizableDialog(this, QStringLiteral("成績の記録"));
    buildControls();
    problem->setText(reader_->problem());
    problem->setVisible(!reader_->problem().isEmpty());
    ShowGroup(gameMode, timeLimitSeconds);
}

frmHistory::~frmHistory() = default;

void frmHistory::buildControls()
{
    resize(920, 660);
    auto *layout = new QVBoxLayout(this);

    // The group, chosen as on the high-score board.
    auto *filters = new QHBoxLayout;
    filters->addWidget(new QLabel(QStringLiteral("種目"), this));
    modeGroup_ = new QButtonGroup(this);
    for (const ModeRow &m : kModes) {
        auto *button = new QPushButton(Text(m.boardButton), this);
        button->setCheckable(true);
        modeGroup_->addButton(button, int(m.mode));
        modeButtons.push_back(button);
        filters->addWidget(button);
    }
    filters->addSpacing(16);
    filters->addWidget(new QLabel(QStringLiteral("時間"), this));
    timeGroup_ = new QButtonGroup(this);
    for (int seconds : kTimeLimits) {
        auto *button = new QPushButton(TimeLimitText(seconds), this);
        button->setCheckable(true);
        timeGroup_->addButton(button, seconds);
        timeButtons.push_back(button);
        filters->addWidget(button);
    }
    filters->addStretch();
    layout->addLayout(filters);
    connect(modeGroup_, &QButtonGroup::idClicked, this,
            [this](int mode) { ShowGroup(mode, group_.timeLimitSeconds); });
    connect(timeGroup_, &QButtonGroup::idClicked, this,
            [this](int seconds) { ShowGroup(group_.gameMode, seconds); });

    withAbandoned = new QCheckBox(QStringLiteral("END で中断したゲームもグラフに入れる"), this);
    layout->addWidget(withAbandoned);
    connect(withAbandoned, &QCheckBox::toggled, this, [this](bool on) {
        group_.withAbandoned = on;
        ShowGroup(group_.gameMode, group_.timeLimitSeconds);
    });

    problem = new QLabel(this);
    problem->setWordWrap(true);
    SetColors(problem, kRed, kNoColor);
    layout->addWidget(problem);

    tabs = new QTabWidget(this);
    layout->addWidget(tabs, 1);

    // Speed and accuracy over time.
    auto *progress = new QWidget;
    auto *progressLayout = new QVBoxLayout(progress);
    progressSummary = new QLabel;
    progressSummary->setWordWrap(true);
    progressLayout->addWidget(progressSummary);
    progressView = NewChartView(NewChart(QStringLiteral("秒速と正解率")));
    progressLayout->addWidget(progressView, 1);
    tabs->addTab(progress, QStringLiteral("上達のようす"));

    // Weak keys.
    auto *keys = new QWidget;
    auto *keysLayout = new QVBoxLayout(keys);
    keysLayout->addWidget(new QLabel(
        QStringLiteral("キーの色はミスの多さ、キーにカーソルを合わせると打つまでの平均時間が出ます。")));
    keyboard = new KeyboardPicture;
    keysLayout->addWidget(keyboard, 3);
    missedView = NewChartView(NewChart(QStringLiteral("よく間違える文字（上位20）")));
    keysLayout->addWidget(missedView, 2);
    tabs->addTab(keys, QStringLiteral("苦手なキー"));

    // Chant units.
    auto *units = new QWidget;
    auto *unitsLayout = new QVBoxLayout(units);
    unitsSummary = new QLabel;
    unitsSummary->setWordWrap(true);
    unitsLayout->addWidget(unitsSummary);
    unitsView = NewChartView(NewChart(QStringLiteral("ひと声ごとの時間の分布")));
    unitsLayout->addWidget(unitsView, 1);
    tabs->addTab(units, QStringLiteral("エヤ・非苦の時間"));

    // The last games of every mode.
    gamesTable = new QTableWidget;
    const QStringList headers = {
        QStringLiteral("日時"),   QStringLiteral("種目"),     QStringLiteral("時間"),
        QStringLiteral("得点"),   QStringLiteral("入力文字数"), QStringLiteral("正解文字数"),
        QStringLiteral("正解率"), QStringLiteral("秒速"),     QStringLiteral("瞬間最大秒速"),
        QStringLiteral("レベル"), QStringLiteral("備考"),
    };
    gamesTable->setColumnCount(int(headers.size()));
    gamesTable->setHorizontalHeaderLabels(headers);
    gamesTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    gamesTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    gamesTable->verticalHeader()->setVisible(false);
    gamesTable->horizontalHeader()->setStretchLastSection(true);
    tabs->addTab(gamesTable, QStringLiteral("最近のゲーム"));
    connect(tabs, &QTabWidget::currentChanged, this, &frmHistory::showTab);

    auto *buttons = new QHBoxLayout;
    saveCsv = new QPushButton(QStringLiteral("CSV で保存..."), this);
    auto *close = new QPushButton(QStringLiteral("閉じる"), this);
    close->setDefault(true);
    buttons->addWidget(saveCsv);
    buttons->addStretch();
    buttons->addWidget(close);
    layout->addLayout(buttons);
    connect(saveCsv, &QPushButton::clicked, this, &frmHistory::chooseCsvFile);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
}

void frmHistory::ShowGroup(int gameMode, int timeLimitSeconds)
{
    group_.gameMode = gameMode;
    group_.timeLimitSeconds = timeLimitSeconds;
    // A mode or time limit without a button of its own (a mode the list
    // does not know yet) leaves every button up: an exclusive group would
    // keep the last one down.
    for (auto [buttons, id] : {std::pair{modeGroup_, gameMode}, std::pair{timeGroup_, timeLimitSeconds}}) {
        buttons->setExclusive(false);
        for (QAbstractButton *b : buttons->buttons())
            b->setChecked(buttons->id(b) == id);
        buttons->setExclusive(true);
    }
    // Only the tab in view is filled now; the others when they are shown.
    fresh_ = {false, false, false, fresh_[kGamesTab]};
    showTab(tabs->currentIndex());
}

void frmHistory::showTab(int tab)
{
    if (tab < 0 || tab >= int(fresh_.size()) || fresh_[size_t(tab)])
        return;
    fresh_[size_t(tab)] = true;
    switch (tab) {
    case kProgressTab: fillProgress(); break;
    case kKeysTab: fillKeys(); break;
    case kUnitsTab: fillUnits(); break;
    case kGamesTab: fillGames(); break;
    }
}

void frmHistory::fillProgress()
{
    const Progress progress = reader_->ProgressOf(group_);
    QChart *chart = progressView->chart();
    ClearChart(chart);
    const QString group = ModeCaption(GameMode(group_.gameMode)) + QStringLiteral("・")
                          + TimeLimitText(group_.timeLimitSeconds);
    chart->setTitle(QStringLiteral("秒速と正解率（%1）").arg(group));

    auto *speed = new QLineSeries;
    auto *average = new QLineSeries;
    auto *best = new QLineSeries;
    auto *accuracy = new QLineSeries;
    auto *abandoned = new QScatterSeries;
    speed->setName(QStringLiteral("秒速"));
    average->setName(QStringLiteral("直近10ゲームの平均"));
    best->setName(QStringLiteral("自己ベスト"));
    accuracy->setName(QStringLiteral("正解率"));
    abandoned->setName(QStringLiteral("中断したゲーム"));
    speed->setPen(QPen(QColor(110, 160, 230), 1.2));
    average->setPen(QPen(QColor(20, 60, 170), 2.6));
    best->setPen(QPen(QColor(230, 120, 0), 1.8, Qt::DashLine));
    accuracy->setPen(QPen(QColor(40, 160, 70, 150), 1));
    abandoned->setColor(QColor(150, 150, 150));
    abandoned->setBorderColor(QColor(110, 110, 110));
    abandoned->setMarkerSize(7);
    // Few games would be dots lost on a line: mark each one.
    const bool few = progress.finished.size() < 40;
    speed->setPointsVisible(few);
    accuracy->setPointsVisible(few);

    QList<QPointF> speeds, averages, bests, accuracies, cut;
    double top = 1, lowAccuracy = 100;
    for (const ProgressPoint &p : progress.finished) {
        const double x = double(p.playedAt.toMSecsSinceEpoch());
        speeds.append({x, p.speed});
        averages.append({x, p.average10});
        bests.append({x, p.best});
        accuracies.append({x, p.accuracy});
        top = std::max(top, p.speed);
        lowAccuracy = std::min(lowAccuracy, p.accuracy);
    }
    for (const ProgressPoint &p : progress.abandoned) {
        cut.append({double(p.playedAt.toMSecsSinceEpoch()), p.speed});
        top = std::max(top, p.speed);
    }
    speed->replace(speeds);
    average->replace(averages);
    best->replace(bests);
    accuracy->replace(accuracies);
    abandoned->replace(cut);

    auto *time = new QDateTimeAxis;
    time->setFormat(QStringLiteral("M/d"));
    time->setTickCount(7);
    StyleAxis(time, QStringLiteral("日付"));
    std::vector<qint64> xs;
    for (const QPointF &p : speeds + cut)
        xs.push_back(qint64(p.x()));
    if (!xs.empty()) {
        const auto [first, last] = std::minmax_element(xs.begin(), xs.end());
        // A day either side, so one game is not a point on the axis' edge.
        time->setRange(QDateTime::fromMSecsSinceEpoch(*first).addDays(-1),
                       QDateTime::fromMSecsSinceEpoch(*last).addDays(1));
    } else {
        time->setRange(QDateTime::currentDateTime().addDays(-7), QDateTime::currentDateTime());
    }
    auto *speedAxis = new QValueAxis;
    speedAxis->setRange(0, std::ceil(top * 1.05));
    speedAxis->applyNiceNumbers();
    speedAxis->setLabelFormat(QStringLiteral("%.1f"));
    StyleAxis(speedAxis, QStringLiteral("秒速[文字/秒]"));
    auto *accuracyAxis = new QValueAxis;
    accuracyAxis->setRange(std::max(0.0, std::floor(lowAccuracy / 10 - 0.01) * 10), 100);
    accuracyAxis->setLabelFormat(QStringLiteral("%d%%"));
    StyleAxis(accuracyAxis, QStringLiteral("正解率[%]"));
    chart->addAxis(time, Qt::AlignBottom);
    chart->addAxis(speedAxis, Qt::AlignLeft);
    chart->addAxis(accuracyAxis, Qt::AlignRight);
    for (QXYSeries *s : {static_cast<QXYSeries *>(accuracy), static_cast<QXYSeries *>(speed),
                         static_cast<QXYSeries *>(average), static_cast<QXYSeries *>(best)}) {
        chart->addSeries(s);
        s->attachAxis(time);
        s->attachAxis(s == accuracy ? accuracyAxis : speedAxis);
    }
    if (group_.withAbandoned) {
        chart->addSeries(abandoned);
        abandoned->attachAxis(time);
        abandoned->attachAxis(speedAxis);
    } else {
        delete abandoned;
        abandoned = nullptr;
    }
    speedSeries = speed;
    averageSeries = average;
    bestSeries = best;
    accuracySeries = accuracy;
    abandonedSeries = abandoned;

    if (progress.finished.empty()) {
        progressSummary->setText(
            QStringLiteral("%1 の記録はまだありません。").arg(group)
            + (progress.abandoned.empty() ? QString()
                                          : QStringLiteral("（中断したゲーム %1）").arg(progress.abandoned.size())));
        return;
    }
    const auto bestGame = std::max_element(progress.finished.begin(), progress.finished.end(),
                                           [](const ProgressPoint &a, const ProgressPoint &b) {
                                               return a.speed < b.speed;  // the first of equals
                                           });
    const ProgressPoint &latest = progress.finished.back();
    QString text = QStringLiteral("%1：%2 ゲーム").arg(group).arg(progress.finished.size());
    if (group_.withAbandoned)
        text += QStringLiteral("（ほかに中断 %1）").arg(progress.abandoned.size());
    text += QStringLiteral("　自己ベスト %1 文字/秒（%2）　直近10ゲームの平均 %3 文字/秒　最新の正解率 %4%")
                .arg(QString::number(bestGame->speed, 'g', 6),
                     bestGame->playedAt.toString(QStringLiteral("yyyy/M/d")),
                     QString::number(latest.average10, 'f', 2), QString::number(latest.accuracy, 'g', 6));
    progressSummary->setText(text);
}

void frmHistory::fillKeys()
{
    const std::vector<TargetFigures> targets = reader_->Targets(group_);
    keyboard->setTargets(targets);

    const bool listed = ListsCharacters(group_.gameMode);
    missedView->setVisible(listed);
    if (!listed)
        return;
    QChart *chart = missedView->chart();
    ClearChart(chart);
    // Most missed first, left to right: one character a bar, its label
    // wide enough for any character.
    auto *set = new QBarSet(QStringLiteral("ミスの回数"));
    set->setColor(QColor(232, 96, 80));
    set->setLabelColor(QColor(32, 32, 40));
    set->setLabelFont(JapaneseFont(8));
    QStringList characters;
    double most = 1;
    for (const TargetFigures &t : targets) {
        if (t.missed == 0 || characters.size() == 20)
            break;
        *set << double(t.missed);
        characters << Shown(t.target);
        most = std::max(most, double(t.missed));
    }
    auto *series = new QBarSeries;
    series->append(set);
    series->setBarWidth(0.6);
    series->setLabelsVisible(true);
    series->setLabelsPosition(QAbstractBarSeries::LabelsOutsideEnd);
    series->setLabelsFormat(QStringLiteral("@value"));
    chart->addSeries(series);
    auto *names = new QBarCategoryAxis;
    names->append(characters);
    names->setLabelsFont(JapaneseFont(12));
    auto *counts = new QValueAxis;
    counts->setLabelFormat(QStringLiteral("%d"));
    counts->setRange(0, std::ceil(most * 1.2));
    counts->applyNiceNumbers();
    StyleAxis(counts, QStringLiteral("ミスの回数"));
    chart->addAxis(names, Qt::AlignBottom);
    chart->addAxis(counts, Qt::AlignLeft);
    series->attachAxis(names);
    series->attachAxis(counts);
    chart->legend()->setVisible(false);
}

void frmHistory::fillUnits()
{
    const UnitTimes units = reader_->Units(group_);
    QChart *chart = unitsView->chart();
    ClearChart(chart);
    if (units.hero.empty() && units.rival.empty()) {
        unitsSummary->setText(ListsCharacters(group_.gameMode)
                                  ? QStringLiteral("エヤ・非苦の時間は、詠唱の種目だけの記録です。")
                                  : QStringLiteral("この種目と時間のエヤ・非苦の記録はまだありません。"));
        unitsView->setVisible(false);
        return;
    }
    unitsView->setVisible(true);

    std::vector<float> all = units.hero;
    all.insert(all.end(), units.rival.begin(), units.rival.end());
    std::sort(all.begin(), all.end());
    // The slowest two percent (a pause, a look away) would squeeze the rest
    // into a few bars: they share the last one.
    const double low = all.front();
    const double high = all[size_t(double(all.size() - 1) * 0.98)];
    const double step = BinWidth(std::max(high - low, 0.01));
    const double start = std::floor(low / step) * step;
    const int bins = std::max(1, int(std::floor((high - start) / step)) + 1);
    auto histogram = [&](const std::vector<float> &values) {
        QList<qreal> counts(bins, 0);
        for (float v : values)
            counts[std::clamp(int(std::floor((v - start) / step)), 0, bins - 1)] += 1;
        return counts;
    };
    auto *hero = new QBarSet(QStringLiteral("eya（エヤ）"));
    auto *rival = new QBarSet(QStringLiteral("hiku（非苦）"));
    hero->setColor(QColor(220, 40, 40));
    rival->setColor(QColor(190, 40, 190));
    hero->append(histogram(units.hero));
    rival->append(histogram(units.rival));
    auto *series = new QBarSeries;
    if (!units.hero.empty())
        series->append(hero);
    else
        delete hero;
    if (!units.rival.empty())
        series->append(rival);
    else
        delete rival;
    chart->addSeries(series);
    QStringList labels;
    const int decimals = step < 0.1 ? 2 : 1;
    for (int i = 0; i < bins; ++i)
        labels << QString::number(start + i * step, 'f', decimals);
    labels.back() += QStringLiteral("〜");
    auto *times = new QBarCategoryAxis;
    times->append(labels);
    StyleAxis(times, QStringLiteral("ひと声の時間[秒]"));
    auto *counts = new QValueAxis;
    counts->setLabelFormat(QStringLiteral("%d"));
    StyleAxis(counts, QStringLiteral("回数"));
    chart->addAxis(times, Qt::AlignBottom);
    chart->addAxis(counts, Qt::AlignLeft);
    series->attachAxis(times);
    series->attachAxis(counts);
    counts->applyNiceNumbers();
    chart->legend()->setVisible(true);

    QStringList lines;
    for (const auto &[name, values] : {std::pair{QStringLiteral("eya（エヤ）"), &units.hero},
                                       std::pair{QStringLiteral("hiku（非苦）"), &units.rival}}) {
        if (values->empty())
            continue;
        lines << QStringLiteral("%1：%2 回　中央値 %3 秒　最速 %4 秒")
                     .arg(name)
                     .arg(values->size())
                     .arg(Seconds(Median(*values)), Seconds(*std::min_element(values->begin(), values->end())));
    }
    unitsSummary->setText(lines.join(u'\n'));
}

void frmHistory::fillGames()
{
    const std::vector<StoredGame> games = reader_->RecentGames(kRecentGames);
    gamesTable->setRowCount(int(games.size()));
    for (int row = 0; row < int(games.size()); ++row) {
        const StoredGame &stored = games[size_t(row)];
        const GameResult &g = stored.result;
        QStringList notes;
        if (g.abandoned)
            notes << QStringLiteral("中断");
        if (stored.unwritten)
            notes << QStringLiteral("未保存");
        const QString cells[] = {
            g.playedAt.toString(QStringLiteral("yyyy/MM/dd HH:mm")),
            ModeCaption(g.gameMode),
            TimeLimitText(g.timeLimitSeconds),
            g.scoreText,
            g.judgedText,
            g.correctText,
            g.accuracyText,
            g.speedText,
            g.peakText,
            g.rankTitle,
            notes.join(QStringLiteral("・")),
        };
        for (int column = 0; column < int(std::size(cells)); ++column) {
            auto *item = new QTableWidgetItem(cells[column]);
            if (column >= 3 && column <= 8)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            gamesTable->setItem(row, column, item);
        }
    }
    gamesTable->resizeColumnsToContents();
    gamesTable->resizeRowsToContents();
}

bool frmHistory::SaveCsv(const QString &file)
{
    QString error;
    if (reader_->ExportCsv(file, &error))
        return true;
    dialogs_.message(this, kApplicationTitle,
                     QStringLiteral("%1 に保存できませんでした。\n%2").arg(QDir::toNativeSeparators(file), error),
                     Dialogs::Look::Warning);
    return false;
}

void frmHistory::chooseCsvFile()
{
    const QString file = dialogs_.saveFile(this, QStringLiteral("成績の記録を CSV で保存"),
                                           QDir::home().filePath(QStringLiteral("typetoki-history.csv")),
                                           QStringLiteral("CSV ファイル (*.csv)"));
    if (!file.isEmpty())
        SaveCsv(file);
}

}  // namespace typetoki
