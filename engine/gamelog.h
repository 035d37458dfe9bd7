#pragma once
// What happened in a game, moment by moment, for whoever needs to know when
// a key really reached the game: silent unless the program was started with
// TYPETOKI_LOG naming a file (see platform/logfile.h).

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcGame)
Q_DECLARE_LOGGING_CATEGORY(lcSound)
