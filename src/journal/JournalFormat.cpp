#include "journal/JournalFormat.h"

#include "files/Progress.h"

#include <QHash>
#include <QtEndian>

#include <array>
#include <cstring>

namespace tessera {
namespace {

// A body larger than this is taken for damage, not for an entry.
constexpr std::uint32_t kMaxBody = 1u << 30;

constexpr auto kCrcTables = [] {
    std::array<std::array<std::uint32_t, 256>, 8> tables{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int bit = 0; bit < 8; ++bit)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        tables[0][i] = c;
    }
    for (std::size_t i = 0; i < 256; ++i)
        for (std::size_t t = 1; t < 8; ++t)
            tables[t][i] = (tables[t - 1][i] >> 8) ^ tables[0][tables[t - 1][i] & 0xFF];
    return tables;
}();

// The distinct texts of one entry and each text's ref. Cells of a map share their strings, so a
// text is found by its storage first and hashed only the first time that storage is seen.
class TextTable {
public:
    explicit TextTable(std::size_t cells)
    {
        while (bits_ < 16 && (std::size_t{1} << bits_) < cells)
            ++bits_;
        recent_.resize(std::size_t{1} << bits_);
    }

    std::uint32_t refOf(const QString& text)
    {
        if (text.isEmpty())
            return 0;
        const auto key = reinterpret_cast<std::uintptr_t>(text.constData());
        Slot& slot = recent_[static_cast<std::size_t>((key >> 3) * 0x9E3779B97F4A7C15ull >> (64 - bits_))];
        if (slot.data == text.constData() && slot.size == text.size())
            return slot.ref;
        auto found = byText_.constFind(text);
        if (found == byText_.cend()) {
            texts_.push_back(text);
            found = byText_.insert(text, static_cast<std::uint32_t>(texts_.size()));
        }
        slot = {text.constData(), text.size(), found.value()};
        return found.value();
    }

    const std::vector<QString>& texts() const { return texts_; }
    int refWidth() const { return texts_.size() < 0xFF ? 1 : texts_.size() < 0xFFFF ? 2 : 4; }

private:
    struct Slot {
        const QChar* data = nullptr;
        qsizetype size = 0;
        std::uint32_t ref = 0;
    };
    int bits_ = 4;
    std::vector<Slot> recent_;
    QHash<QString, std::uint32_t> byText_;
    std::vector<QString> texts_;
};

class Writer {
public:
    explicit Writer(QByteArray& out) : out_(out) {}

    void u8(std::uint8_t value) { out_.append(static_cast<char>(value)); }
    void u32(std::uint32_t value)
    {
        char bytes[4];
        qToLittleEndian(value, bytes);
        out_.append(bytes, 4);
    }
    void string(const QString& text)
    {
        u32(static_cast<std::uint32_t>(text.size()));
        const qsizetype at = out_.size();
        out_.resize(at + 2 * text.size());
        qToLittleEndian<char16_t>(text.utf16(), text.size(), out_.data() + at);
    }
    void table(const TextTable& table)
    {
        u32(static_cast<std::uint32_t>(table.texts().size()));
        u8(static_cast<std::uint8_t>(table.refWidth()));
        for (const QString& text : table.texts())
            string(text);
    }
    void ref(std::uint32_t ref, int width)
    {
        char bytes[4];
        qToLittleEndian(ref, bytes);
        out_.append(bytes, width);
    }
    void refs(const std::vector<std::uint32_t>& refs, int width)
    {
        const qsizetype at = out_.size();
        out_.resize(at + width * static_cast<qsizetype>(refs.size()));
        char* to = out_.data() + at;
        for (const std::uint32_t ref : refs) {
            if (width == 1)
                *to = static_cast<char>(ref);
            else if (width == 2)
                qToLittleEndian(static_cast<std::uint16_t>(ref), to);
            else
                qToLittleEndian(ref, to);
            to += width;
        }
    }

private:
    QByteArray& out_;
};

class Reader {
public:
    Reader(const char* data, qsizetype size) : at_(data), end_(data + size) {}

    bool ok() const { return ok_; }
    bool atEnd() const { return at_ == end_; }

    std::uint32_t u32() { return take(4) ? qFromLittleEndian<std::uint32_t>(at_ - 4) : 0; }
    std::uint8_t u8() { return take(1) ? static_cast<std::uint8_t>(at_[-1]) : 0; }
    std::uint32_t ref(int width)
    {
        if (!take(width))
            return 0;
        const char* from = at_ - width;
        return width == 1 ? static_cast<std::uint8_t>(*from)
            : width == 2  ? qFromLittleEndian<std::uint16_t>(from)
                          : qFromLittleEndian<std::uint32_t>(from);
    }
    QString string()
    {
        const std::uint32_t units = u32();
        if (!ok_ || units > static_cast<std::uint64_t>(end_ - at_) / 2)
            return fail(), QString();
        QString text(static_cast<qsizetype>(units), Qt::Uninitialized);
        qFromLittleEndian<char16_t>(at_, units, text.data());
        at_ += 2 * static_cast<qsizetype>(units);
        return text;
    }
    // The table's texts, behind an empty text for ref 0.
    std::vector<QString> table(int& width)
    {
        const std::uint32_t count = u32();
        width = u8();
        if (!ok_ || (width != 1 && width != 2 && width != 4) || count > static_cast<std::uint64_t>(end_ - at_) / 4)
            return fail(), std::vector<QString>();
        std::vector<QString> texts(1);
        texts.reserve(count + 1);
        for (std::uint32_t i = 0; i < count && ok_; ++i)
            texts.push_back(string());
        return texts;
    }
    QString textOf(const std::vector<QString>& texts, int width)
    {
        const std::uint32_t at = ref(width);
        if (at >= texts.size())
            return fail(), QString();
        return texts[at];
    }
    void fail() { ok_ = false; }

private:
    bool take(qsizetype bytes)
    {
        if (!ok_ || end_ - at_ < bytes)
            return ok_ = false;
        at_ += bytes;
        return true;
    }

    const char* at_;
    const char* end_;
    bool ok_ = true;
};

void encodeBody(QByteArray& out, const JournalEntry& entry)
{
    Writer write(out);
    write.u8(static_cast<std::uint8_t>(entry.kind));
    switch (entry.kind) {
    case JournalEntry::Kind::Start:
        write.u32(static_cast<std::uint32_t>(entry.mapSize));
        write.string(entry.path);
        break;
    case JournalEntry::Kind::Cells: {
        TextTable table(entry.changes.size());
        std::vector<std::uint32_t> refs;
        refs.reserve(entry.changes.size());
        for (const CellChange& change : entry.changes)
            refs.push_back(table.refOf(change.text));
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
        std::vector<std::uint32_t> refs;
        refs.reserve(entry.cells.size());
        for (const QString& text : entry.cells)
            refs.push_back(table.refOf(text));
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
    Reader read(body, size);
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
        for (CellChange& change : entry.changes) {
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

std::uint32_t journalChecksum(const char* data, qsizetype size)
{
    const auto& t = kCrcTables;
    std::uint32_t crc = 0xFFFFFFFFu;
    for (; size >= 8; data += 8, size -= 8) {
        const std::uint32_t one = qFromLittleEndian<std::uint32_t>(data) ^ crc;
        const std::uint32_t two = qFromLittleEndian<std::uint32_t>(data + 4);
        crc = t[7][one & 0xFF] ^ t[6][(one >> 8) & 0xFF] ^ t[5][(one >> 16) & 0xFF] ^ t[4][one >> 24]
            ^ t[3][two & 0xFF] ^ t[2][(two >> 8) & 0xFF] ^ t[1][(two >> 16) & 0xFF] ^ t[0][two >> 24];
    }
    for (; size > 0; ++data, --size)
        crc = (crc >> 8) ^ t[0][(crc ^ static_cast<std::uint8_t>(*data)) & 0xFF];
    return ~crc;
}

QByteArray journalHeader()
{
    QByteArray header(kJournalMagic, 8);
    Writer write(header);
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
        for (const CellChange& change : entry.changes)
            if (static_cast<std::size_t>(change.index) >= cellCount)
                return false;
        for (CellChange& change : entry.changes)
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
