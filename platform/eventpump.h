#pragma once
#include "engine/interfaces.h"

#include <QList>

class QEventLoop;

namespace typetoki {

// Waits by sleeping in a nested event loop until a timer ends it, so the
// window stays responsive and an idle wait costs no processor time.
class QtEventPump final : public EventPump {
public:
    void processEvents(double seconds) override;
    // Ends every wait in progress and refuses new ones.
    void cancelWaits() override;

private:
    QList<QEventLoop *> running_;
    bool aborted_ = false;
};

}  // namespace typetoki
