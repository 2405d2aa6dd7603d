#pragma once

#include "model/MapShift.h"
#include "model/TileGrid.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

namespace tessera {

// The journal's bytes. All numbers are little-endian.
//
//   header:  "TESSJRNL", u32 version (1), u32 flags (0, or kJournalBehind)
//   entry:   u32 body length, u32 CRC-32 of the body, body
//   body:    u8 kind, then by kind
//     Start    u32 map size, string map path
//     Cells    table, u32 count, count × (u32 cell index, ref)
//     Replace  u32 map size, table, size² × ref (row by row)
//     Shift    u8 direction, i32 distance
//     MapPath  string path
//     Saved    string path
//     Carry    u32 cell index (kNoCell: nothing carried any more), string text
//   string:  u32 UTF-16 code units, then the units
//   table:   u32 count, u8 ref width (1, 2 or 4), count × string: the distinct texts of the entry
//   ref:     ref width bytes, 0 for an empty cell, i + 1 for the table's text i
//
// An entry whose length runs past the end of the file or whose checksum does not match is where
// the journal was cut; everything before it stands. A header that differs from this one in any
// byte is damaged; the entries after it still stand on their checksums.
inline constexpr char kJournalMagic[] = "TESSJRNL";
inline constexpr std::uint32_t kJournalVersion = 1;
inline constexpr int kJournalHeaderSize = 16;
// A header flag: a write failed after this file's last entry, so the map had changes it lacks.
inline constexpr std::uint32_t kJournalBehind = 1;
inline constexpr int kJournalFlagsOffset = 12;
inline constexpr std::uint32_t kNoCell = 0xFFFFFFFFu;

// One changed cell: its index row by row from 0 ((row - 1) × size + column - 1) and its new text.
struct JournalCell {
    int index = 0;
    QString text;
};

// What one journal entry says happened to the map.
struct JournalEntry {
    enum class Kind : std::uint8_t {
        Start = 1,    // a new map of `mapSize` empty cells, from `path` (may be empty)
        Cells = 2,    // `changes` stored
        Replace = 3,  // every cell replaced: `mapSize`, `cells`
        Shift = 4,    // every tile moved `distance` cells towards `direction`
        MapPath = 5,  // the map path file is now `path`
        Saved = 6,    // the map equals the map path file `path`
        Carry = 7,    // the tile `path` is carried from the cell `index` (emptied); kNoCell: dropped
    };

    Kind kind = Kind::Start;
    int mapSize = 0;
    QString path;
    std::uint32_t index = kNoCell;
    std::vector<JournalCell> changes;
    CellTexts cells;
    ShiftDirection direction = ShiftDirection::Left;
    int distance = 0;
};

// The map as the journal has it after some entries.
struct JournalMap {
    bool started = false;  // a Start entry has been read
    int mapSize = 0;
    CellTexts cells;
    QString mapPath;
    bool unsaved = false;  // changed since it was new, or last equal to its map path file
    // A tile lifted by the move tool and not yet dropped: its text and the cell it came from.
    QString carried;
    std::uint32_t carriedFrom = kNoCell;
};

// A tile still carried goes back into its cell, or into the first empty one when its cell has
// been filled since; the map then differs from any saved file. The cell it went to, or -1.
int settleCarriedTile(JournalMap& map);

QByteArray journalHeader();

// Appends the entry, framed with its length and checksum, to `out`.
void appendJournalEntry(QByteArray& out, const JournalEntry& entry);

// A whole journal that holds `map` as it is (just the header when it was never started).
QByteArray journalBytesOf(const JournalMap& map);

// Reads the entries after the header and applies them to `map` one by one, stopping at the first
// entry that is cut, fails its checksum or cannot apply (a cell outside the map, before a Start).
struct JournalReplay {
    bool header = false;        // the data starts with a whole journal header of this version
    bool headerDamaged = false; // the header differs; the entries were read on their checksums
    bool behind = false;        // the header says a write failed after the last entry
    qint64 entries = 0;         // entries applied
    qint64 validBytes = 0;      // bytes up to the end of the last applied entry
    bool damaged = false;       // something follows that could not be applied
    int readError = 0;          // the errno of a read that failed; damaged then
};

// Where a replay reads its bytes, front to back: `read` gives up to `size` bytes into `into`, how
// many (0 at the end) or -errno; `size` is what there is at most (a regular file's size), which
// bounds an entry before its bytes are read.
struct JournalSource {
    std::function<qint64(char* into, qint64 size)> read;
    qint64 size = 0;
};

// Entries are read one at a time: memory holds the map and one entry, whatever the file's length.
JournalReplay replayJournal(const JournalSource& source, JournalMap& map);
JournalReplay replayJournal(const QByteArray& data, JournalMap& map);

// Applies one entry; false, and `map` as it was, when it does not fit the map.
bool applyJournalEntry(JournalMap& map, JournalEntry entry);

}  // namespace tessera
