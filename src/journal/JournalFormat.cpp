#include "journal/JournalFormat.h"

#include "files/Progress.h"
#include "journal/JournalBytes.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <utility>

namespace tessera {
namespace {

// A body larger than this is taken for damage, not for an entry.
constexpr std::uint32_t kMaxBody = 1u << 30;

// The refs of the items' texts in order, the texts entered into `table`.
template <typename Items, typename TextOf>
std::vector<std::uint32_t> refsOf(TextTable& table, const Items& items, TextOf textOf)
{
    std::vector<std::uint32_t> refs;
    refs.reserve(items.size());
    for (const auto& item : items)
        refs.push_back(table.refOf(textOf(item)));
    return refs;
}

void encodeBody(QByteArray& out, const JournalEntry& entry)
{
    ByteWriter write(out);
    write.u8(static_cast<std::uint8_t>(entry.kind));
    switch (entry.kind) {
    case JournalEntry::Kind::Start:
        write.u32(static_cast<std::uint32_t>(entry.mapSize));
        write.string(entry.path);
        break;
    case JournalEntry::Kind::Cells: {
        TextTable table(entry.changes.size());
        const auto refs = refsOf(table, entry.changes, [](const JournalCell& change) -> const QString& { return change.text; });
        write.table(table);
        write.u32(static_cast<std::uint32_t>(entry.changes.size()));
        for (std::size_t i = 0; i < refs.size(); ++i) {
            write.u32(static_cast<std::uint32_t>(entry.changes[i].index));
            write.ref(refs[i], table.refWidth());
        }
        break;
    }
    case JournalEntry::Kind::Replace: {
        TextTable table(entry.cells.size());
        const auto refs = refsOf(table, entry.cells, [](const QString& text) -> const QString& { return text; });
        write.u32(static_cast<std::uint32_t>(entry.mapSize));
        write.table(table);
        write.refs(refs, table.refWidth());
        break;
    }
    case JournalEntry::Kind::Shift:
        write.u8(static_cast<std::uint8_t>(entry.direction));
        write.u32(static_cast<std::uint32_t>(entry.distance));
        break;
    case JournalEntry::Kind::MapPath:
    case JournalEntry::Kind::Saved:
        write.string(entry.path);
        break;
    case JournalEntry::Kind::Carry:
        write.u32(entry.index);
        write.string(entry.path);
        break;
    }
}

bool validSize(std::uint32_t size)
{
    return size <= static_cast<std::uint32_t>(kMaxMapSize);
}

bool decodeBody(const char* body, qsizetype size, JournalEntry& entry)
{
    ByteReader read(body, size);
    entry.kind = static_cast<JournalEntry::Kind>(read.u8());
    int width = 0;
    switch (entry.kind) {
    case JournalEntry::Kind::Start: {
        const std::uint32_t mapSize = read.u32();
        entry.mapSize = static_cast<int>(mapSize);
        entry.path = read.string();
        if (!validSize(mapSize))
            read.fail();
        break;
    }
    case JournalEntry::Kind::Cells: {
        const std::vector<QString> texts = read.table(width);
        const std::uint32_t count = read.u32();
        if (!read.ok() || count > static_cast<std::uint32_t>(size) / 5)
            return false;
        entry.changes.resize(count);
        for (JournalCell& change : entry.changes) {
            change.index = static_cast<int>(read.u32() & 0x7FFFFFFF);
            change.text = read.textOf(texts, width);
        }
        break;
    }
    case JournalEntry::Kind::Replace: {
        const std::uint32_t mapSize = read.u32();
        const std::vector<QString> texts = read.table(width);
        if (!read.ok() || !validSize(mapSize))
            return false;
        entry.mapSize = static_cast<int>(mapSize);
        entry.cells.resize(static_cast<std::size_t>(mapSize) * mapSize);
        for (QString& cell : entry.cells)
            cell = read.textOf(texts, width);
        break;
    }
    case JournalEntry::Kind::Shift: {
        const std::uint8_t direction = read.u8();
        entry.direction = static_cast<ShiftDirection>(direction);
        entry.distance = static_cast<int>(read.u32());
        if (direction > static_cast<std::uint8_t>(ShiftDirection::Down))
            read.fail();
        break;
    }
    case JournalEntry::Kind::MapPath:
    case JournalEntry::Kind::Saved:
        entry.path = read.string();
        break;
    case JournalEntry::Kind::Carry:
        entry.index = read.u32();
        entry.path = read.string();
        break;
    default:
        return false;
    }
    return read.ok() && read.atEnd();
}

}  // namespace

QByteArray journalHeader()
{
    QByteArray header(kJournalMagic, 8);
    ByteWriter write(header);
    write.u32(kJournalVersion);
    write.u32(0);
    return header;
}

void appendJournalEntry(QByteArray& out, const JournalEntry& entry)
{
    const qsizetype frame = out.size();
    out.resize(frame + 8);
    encodeBody(out, entry);
    const qsizetype body = frame + 8;
    const std::uint32_t length = static_cast<std::uint32_t>(out.size() - body);
    qToLittleEndian(length, out.data() + frame);
    qToLittleEndian(journalChecksum(out.constData() + body, length), out.data() + frame + 4);
}

QByteArray journalBytesOf(const JournalMap& map)
{
    QByteArray out = journalHeader();
    if (!map.started)
        return out;
    JournalEntry entry;
    entry.mapSize = map.mapSize;
    entry.path = map.mapPath;
    appendJournalEntry(out, entry);
    entry.kind = JournalEntry::Kind::Replace;
    entry.cells = map.cells;
    appendJournalEntry(out, entry);
    entry.cells = {};
    if (!map.unsaved) {
        entry.kind = JournalEntry::Kind::Saved;
        appendJournalEntry(out, entry);
    }
    if (map.carriedFrom != kNoCell) {
        entry.kind = JournalEntry::Kind::Carry;
        entry.index = map.carriedFrom;
        entry.path = map.carried;
        appendJournalEntry(out, entry);
    }
    return out;
}

bool applyJournalEntry(JournalMap& map, JournalEntry entry)
{
    using Kind = JournalEntry::Kind;
    if (!map.started && entry.kind != Kind::Start)
        return false;
    const std::size_t cellCount = map.cells.size();
    switch (entry.kind) {
    case Kind::Start:
        map = {true, entry.mapSize,
               CellTexts(static_cast<std::size_t>(entry.mapSize) * static_cast<std::size_t>(entry.mapSize)),
               entry.path, false, {}, kNoCell};
        return true;
    case Kind::Cells:
        for (const JournalCell& change : entry.changes)
            if (static_cast<std::size_t>(change.index) >= cellCount)
                return false;
        for (JournalCell& change : entry.changes)
            map.cells[static_cast<std::size_t>(change.index)] = std::move(change.text);
        break;
    case Kind::Replace:
        if (entry.mapSize != map.mapSize)
            map.carriedFrom = kNoCell;  // the editor starts its editing over at another size
        map.mapSize = entry.mapSize;
        map.cells = std::move(entry.cells);
        break;
    case Kind::Shift: {
        NullProgress progress;
        shiftMapCells(map.cells, map.mapSize, entry.direction, entry.distance, progress);
        break;
    }
    case Kind::MapPath:
        map.mapPath = entry.path;
        return true;
    case Kind::Saved:
        map.mapPath = entry.path;
        map.unsaved = false;
        return true;
    case Kind::Carry:
        if (entry.index != kNoCell && entry.index >= cellCount)
            return false;
        map.carriedFrom = entry.index;
        map.carried = entry.index == kNoCell ? QString() : std::move(entry.path);
        return true;
    }
    map.unsaved = true;
    return true;
}

int settleCarriedTile(JournalMap& map)
{
    const std::uint32_t from = std::exchange(map.carriedFrom, kNoCell);
    const QString carried = std::exchange(map.carried, QString());
    if (from == kNoCell || carried.isEmpty())
        return -1;
    std::size_t to = from;
    if (!map.cells[to].isEmpty()) {
        const auto empty = std::find_if(map.cells.begin(), map.cells.end(), [](const QString& t) { return t.isEmpty(); });
        if (empty == map.cells.end())
            return -1;
        to = static_cast<std::size_t>(empty - map.cells.begin());
    }
    map.cells[to] = carried;
    map.unsaved = true;
    return static_cast<int>(to);
}

namespace {

// Reads `size` bytes unless the source ends or fails first; how many, or -errno.
qint64 readExactly(const JournalSource& source, char* into, qint64 size)
{
    qint64 got = 0;
    while (got < size) {
        const qint64 n = source.read(into + got, size - got);
        if (n < 0)
            return n;
        if (n == 0)
            break;
        got += n;
    }
    return got;
}

}  // namespace

JournalReplay replayJournal(const JournalSource& source, JournalMap& map)
{
    JournalReplay replay;
    char header[kJournalHeaderSize];
    const qint64 got = readExactly(source, header, kJournalHeaderSize);
    if (got < 0)
        replay.readError = static_cast<int>(-got);
    if (got < kJournalHeaderSize) {
        replay.damaged = got != 0;
        return replay;
    }
    const std::uint32_t flags = qFromLittleEndian<std::uint32_t>(header + kJournalFlagsOffset);
    replay.header = QByteArrayView(header, 8) == QByteArrayView(kJournalMagic, 8)
                 && qFromLittleEndian<std::uint32_t>(header + 8) == kJournalVersion
                 && (flags & ~kJournalBehind) == 0;
    replay.headerDamaged = !replay.header;
    replay.behind = replay.header && (flags & kJournalBehind) != 0;
    qint64 at = kJournalHeaderSize;
    QByteArray body;
    for (;;) {
        char frame[8];
        const qint64 framed = readExactly(source, frame, 8);
        if (framed == 0)
            break;
        const std::uint32_t length = qFromLittleEndian<std::uint32_t>(frame);
        if (framed != 8 || length == 0 || length > kMaxBody || length > source.size - at - 8) {
            replay.readError = framed < 0 ? static_cast<int>(-framed) : 0;
            replay.damaged = true;
            break;
        }
        body.resize(length);
        const qint64 read = readExactly(source, body.data(), length);
        JournalEntry entry;
        if (read != length || qFromLittleEndian<std::uint32_t>(frame + 4) != journalChecksum(body.constData(), length)
            || !decodeBody(body.constData(), length, entry) || !applyJournalEntry(map, std::move(entry))) {
            replay.readError = read < 0 ? static_cast<int>(-read) : 0;
            replay.damaged = true;
            break;
        }
        at += 8 + length;
        ++replay.entries;
    }
    replay.validBytes = at;
    return replay;
}

JournalReplay replayJournal(const QByteArray& data, JournalMap& map)
{
    qint64 at = 0;
    const JournalSource source{[&](char* into, qint64 size) {
                                   const qint64 n = std::min<qint64>(size, data.size() - at);
                                   std::memcpy(into, data.constData() + at, static_cast<std::size_t>(n));
                                   at += n;
                                   return n;
                               },
                               data.size()};
    return replayJournal(source, map);
}

}  // namespace tessera
