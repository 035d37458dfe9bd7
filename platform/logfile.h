#pragma once
#include <QString>

namespace typetoki {

// Turns the game's own log on and sends it, and every other message of the
// program, to the file at path, appended to, one line each with the wall
// clock's time in seconds since the epoch (to the millisecond), so that a
// test can lay the game's moments beside its own. False when the file
// cannot be opened; the log stays off then.
bool LogToFile(const QString &path);

}  // namespace typetoki
