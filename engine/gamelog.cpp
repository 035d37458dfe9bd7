#include "engine/gamelog.h"

// Off by default: a key judged costs one flag test.
Q_LOGGING_CATEGORY(lcGame, "typetoki.game", QtWarningMsg)
Q_LOGGING_CATEGORY(lcSound, "typetoki.sound", QtWarningMsg)
