#pragma once
// A JIS keyboard drawn in code, in two looks: the statistics window's, each
// key coloured by how often its characters were missed (hovering a key
// shows its figures), and the strip under the main window's game area, each
// key tinted by the finger that types it from the home row, the next key of
// the line lit and a missed one flashed.

#include "persistence/historyreader.h"

#include <QPixmap>
#include <QTransform>
#include <QWidget>
#include <map>
#include <utility>
#include <vector>

class QTimer;

namespace typetoki {

// A target as a label: blanks would not show.
QString Shown(const QString &target);
// What was typed instead of a target, most often first: "x 3 回、z 1 回",
// the first few only.
QString TypedInstead(const std::vector<std::pair<QString, qint64>> &typed, size_t most = 5);

class KeyboardPicture : public QWidget {
    Q_OBJECT
public:
    enum class Look { Misses, Fingers };

    explicit KeyboardPicture(QWidget *parent = nullptr, Look look = Look::Misses);

    // Target characters are put on the key that types them (full-width
    // letters and the signs an input method makes from a key included);
    // the rest are left off.
    void setTargets(const std::vector<TargetFigures> &targets);

    // Lights the key that types this character; none for a null one.
    void setNextKey(QChar key);
    // The key that was wanted on a miss, red for a moment.
    void flashKey(QChar key);
    // The main legends of the lit and the flashing key; empty for none.
    QString litKey() const;
    QString flashingKey() const;

    // The figures of the key at a point of the widget, as its tooltip
    // shows them; empty off the keys.
    QString figuresAt(QPoint point) const;
    // Where the key whose main legend is label sits; empty when none.
    QRectF keyRect(const QString &label) const;
    // The height that fits the keys at this width.
    int heightForWidth(int width) const override;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool event(QEvent *event) override;

private:
    struct Sum {
        qint64 targeted = 0, missed = 0, timedHits = 0;
        double hitSeconds = 0;
        std::map<QString, qint64> typedInstead;
    };
    double rows() const;          // key heights the widget holds
    double unit() const;
    QTransform toPixels() const;  // from key widths
    int keyAt(QPointF point) const;
    QRect pixelsOf(int key) const;
    void paintKey(QPainter &p, int key, const QColor &fill, bool bold) const;
    void paintBase();
    void relight(int &which, int key);

    Look look_;
    std::vector<Sum> sums_;  // one per key of the layout
    // Every key as it stands without the lit and flashing ones, drawn once
    // for each size and set of figures: a key typed redraws two keys only.
    QPixmap base_;
    int lit_ = -1;
    int flashing_ = -1;
    QTimer *flashEnd_ = nullptr;
};

}  // namespace typetoki
