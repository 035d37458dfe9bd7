#pragma once
// tkscore.ini: every registered result, one record of nine comma-separated
// fields per line. The high-score board reads it into a ScoreTable, appends
// the new result, and rewrites it keeping only the records that are still
// among the ten best of their mode and time limit in some ranked field.

#include "engine/gamestate.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace typetoki {

enum ScoreField {
    kSerial = 0,
    kPlayerName = 1,
    kPoints = 2,  // the four ranked fields, larger is better
    kCorrectChars = 3,
    kCharsPerSecond = 4,
    kAccuracy = 5,
    kPlayedAt = 6,
    kModeNumber = 7,
    kTimeLimit = 8,
};
constexpr int kScoreFieldCount = 9;

// Every field is kept as text; the numeric ones are read with ReadNumber
// whenever they are compared or written.
struct ScoreRecord {
    std::array<QString, kScoreFieldCount> fields;
};

// A name or date as it can be stored: a comma becomes the full-width comma
// and a line break a blank, so the text never splits its record; half of a
// character (a surrogate without its partner, which no encoding holds)
// becomes "?", as the writers would make of it anyway.
QString ScoreFieldText(QString text);

// The largest tkscore.ini read, and the most records in it; a board the
// game keeps holds a few hundred. Past either the file is treated as one
// that cannot be read, which is never overwritten.
constexpr qint64 kScoreFileLimit = 64 * 1024 * 1024;
constexpr int kMostScoreRecords = 2'000'000;

// The records of tkscore.ini. The file's own bytes are kept as they are,
// with where each record lies and the numbers it ranks by; a record's texts
// are decoded when it is asked for. So a file of a million records opens
// quickly and takes little more memory than its size.
class ScoreTable {
public:
    // Rows are numbered from 1, as the board numbers them.
    int scoreCount() const { return int(numbers_.size()); }
    // An empty record for any number outside 1..scoreCount().
    ScoreRecord row(int r) const;

    // Adds a record as the last row; the name and date go through
    // ScoreFieldText.
    void append(const ScoreRecord &record);

    // Replaces the table by the file's records, every line of it. A missing
    // file gives an empty table and true. A file that exists but cannot be
    // read (no regular file, or past kScoreFileLimit or kMostScoreRecords)
    // also gives an empty table, but false, and SaveScores then refuses to
    // overwrite that file, which would lose its records.
    bool LoadScores(const QString &path);

    // Drops the records that are not among the ten best of their group in any
    // ranked field (ties with the tenth kept), rewrites the file from the rest
    // with fresh serial numbers and numbers in their plain form, and leaves the
    // table as a LoadScores of the new file would. On failure the old file and
    // the table stay as they were, and false comes back with the reason.
    bool SaveScores(const QString &path, QString *error = nullptr);

    // Registers one result while another running copy of the game may be
    // registering its own: under a lock beside the file (path + ".lock")
    // the file is read afresh from readPath (path itself once it exists,
    // see ScoresPathToRead), the record appended, beforeSave called (the
    // board lists the group there) and the table pruned and saved to path.
    // Every record either copy registered is kept. A file that cannot be
    // read is not overwritten; false then, as for any failure, with the
    // reason, and the record stays in the table.
    bool Register(const ScoreRecord &record, const QString &path, const QString &readPath,
                  const std::function<void()> &beforeSave = {}, QString *error = nullptr);

    // The rows of group (mode, timeLimit) with the ten largest values above 0
    // in field, best first, the earlier row first among equals. A row is in
    // the group when its mode and time limit read as exactly these numbers.
    std::vector<int> SelectTopTen(int field, double mode, double timeLimit) const;

    // The value in field of the last row SelectTopTen lists; 0 when it lists
    // none.
    double TenthBest(int field, double mode, double timeLimit) const;

private:
    // The numbers every selection compares, read once per row.
    struct Numbers {
        double mode = 0;
        double timeLimit = 0;
        std::array<double, 4> ranked{};  // fields 2 to 5
    };
    // Where a record of the file lies in bytes_: its first nine fields.
    struct Span {
        std::uint32_t begin;
        std::uint32_t length;
    };
    double value(int index, int field) const;
    // Replaces the table by the records of a file's bytes; false (and an
    // empty table) past kMostScoreRecords.
    bool index(QByteArray bytes);
    void clear();

    QByteArray bytes_;  // the file as read or last saved
    bool utf8_ = false;
    std::vector<Span> spans_;          // rows 1 to spans_.size()
    std::vector<ScoreRecord> added_;   // the rows after them
    std::vector<Numbers> numbers_;     // every row
    QString unreadablePath_;  // absolute path of a file LoadScores could not read
};

// tkscore.ini in the data folder (the program folder unless that is
// read-only), where results are saved.
QString ScoresPath(const Folders &folders);

// The tkscore.ini the board reads (see DataFileToRead).
QString ScoresPathToRead(const Folders &folders);

}  // namespace typetoki
