#include "journal/JournalFormat.h"

#include "files/Progress.h"
#include "journal/JournalBytes.h"

#include <QtEndian>

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
               entry.path, false};
        return true;
    case Kind::Cells:
        for (const JournalCell& change : entry.changes)
            if (static_cast<std::size_t>(change.index) >= cellCount)
                return false;
        for (JournalCell& change : entry.changes)
            map.cells[static_cast<std::size_t>(change.index)] = std::move(change.text);
        break;
    case Kind::Replace:
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
    }
    map.unsaved = true;
    return true;
}

JournalReplay replayJournal(const QByteArray& data, JournalMap& map)
{
    JournalReplay replay;
    if (data.size() < kJournalHeaderSize || !data.startsWith(QByteArray(kJournalMagic, 8))
        || qFromLittleEndian<std::uint32_t>(data.constData() + 8) != kJournalVersion)
        return replay;
    replay.header = true;
    qsizetype at = kJournalHeaderSize;
    while (at < data.size()) {
        if (data.size() - at < 8)
            break;
        const std::uint32_t length = qFromLittleEndian<std::uint32_t>(data.constData() + at);
        const char* body = data.constData() + at + 8;
        if (length == 0 || length > kMaxBody || length > data.size() - at - 8
            || qFromLittleEndian<std::uint32_t>(data.constData() + at + 4) != journalChecksum(body, length))
            break;
        JournalEntry entry;
        if (!decodeBody(body, length, entry) || !applyJournalEntry(map, std::move(entry)))
            break;
        at += 8 + length;
        ++replay.entries;
    }
    replay.validBytes = at;
    replay.damaged = at < data.size();
    return replay;
}

}  // namespace tessera
