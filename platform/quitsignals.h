#pragma once
// A logout, a shutdown or Ctrl+C ends the game as the player's close does:
// SIGTERM, SIGINT and SIGHUP only write a byte into a pipe, and the event
// loop, seeing it, emits received(). Nothing runs inside the handler that
// could meet the game half-way through a change.

#include <QObject>

class QSocketNotifier;

namespace typetoki {

class QuitSignals : public QObject {
    Q_OBJECT
public:
    // Takes the three signals over for as long as it lives; only one may
    // live at a time.
    explicit QuitSignals(QObject *parent = nullptr);
    ~QuitSignals() override;
    bool active() const { return notifier_ != nullptr; }

signals:
    // Once per signal, on the thread of the event loop.
    void received(int signalNumber);

private:
    void Drain();
    QSocketNotifier *notifier_ = nullptr;
};

}  // namespace typetoki
