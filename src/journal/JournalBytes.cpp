#include "journal/JournalBytes.h"

#include <array>

namespace tessera {
namespace {

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

}  // namespace

std::uint32_t journalChecksum(const char* data, qsizetype size)
{
    const auto& t = kCrcTables;
    std::uint32_t crc = 0xFFFFFFFFu;
    // Eight bytes a step (slicing by 8).
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

TextTable::TextTable(std::size_t cells)
{
    while (bits_ < 16 && (std::size_t{1} << bits_) < cells)
        ++bits_;
    recent_.resize(std::size_t{1} << bits_);
}

std::uint32_t TextTable::refOf(const QString& text)
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

void ByteWriter::string(const QString& text)
{
    u32(static_cast<std::uint32_t>(text.size()));
    const qsizetype at = out_.size();
    out_.resize(at + 2 * text.size());
    qToLittleEndian<char16_t>(text.utf16(), text.size(), out_.data() + at);
}

void ByteWriter::table(const TextTable& table)
{
    u32(static_cast<std::uint32_t>(table.texts().size()));
    u8(static_cast<std::uint8_t>(table.refWidth()));
    for (const QString& text : table.texts())
        string(text);
}

void ByteWriter::refs(const std::vector<std::uint32_t>& refs, int width)
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

std::uint32_t ByteReader::ref(int width)
{
    if (!take(width))
        return 0;
    const char* from = at_ - width;
    return width == 1 ? static_cast<std::uint8_t>(*from)
        : width == 2  ? qFromLittleEndian<std::uint16_t>(from)
                      : qFromLittleEndian<std::uint32_t>(from);
}

QString ByteReader::string()
{
    const std::uint32_t units = u32();
    if (!ok_ || units > static_cast<std::uint64_t>(end_ - at_) / 2)
        return fail(), QString();
    QString text(static_cast<qsizetype>(units), Qt::Uninitialized);
    qFromLittleEndian<char16_t>(at_, units, text.data());
    at_ += 2 * static_cast<qsizetype>(units);
    return text;
}

std::vector<QString> ByteReader::table(int& width)
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

QString ByteReader::textOf(const std::vector<QString>& texts, int width)
{
    const std::uint32_t at = ref(width);
    if (at >= texts.size())
        return fail(), QString();
    return texts[at];
}

}  // namespace tessera
