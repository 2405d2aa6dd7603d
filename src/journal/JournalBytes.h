#pragma once

// The journal's byte layer: little-endian numbers, UTF-16 strings, the table of an entry's distinct
// texts, and the checksum. See JournalFormat.h for the layout.
#include <QByteArray>
#include <QHash>
#include <QString>
#include <QtEndian>

#include <cstdint>
#include <vector>

namespace tessera {

// CRC-32 (IEEE 802.3, as zlib computes it).
std::uint32_t journalChecksum(const char* data, qsizetype size);

// The distinct texts of one entry and each text's ref (0 for the empty text). Cells of a map share
// their strings, so a text is found by its storage first and hashed only the first time that
// storage is seen.
class TextTable {
public:
    explicit TextTable(std::size_t cells);

    std::uint32_t refOf(const QString& text);
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

class ByteWriter {
public:
    explicit ByteWriter(QByteArray& out) : out_(out) {}

    void u8(std::uint8_t value) { out_.append(static_cast<char>(value)); }
    void u32(std::uint32_t value) { ref(value, 4); }
    // The low `width` bytes of `ref`.
    void ref(std::uint32_t ref, int width)
    {
        char bytes[4];
        qToLittleEndian(ref, bytes);
        out_.append(bytes, width);
    }
    void string(const QString& text);
    void table(const TextTable& table);
    void refs(const std::vector<std::uint32_t>& refs, int width);

private:
    QByteArray& out_;
};

// Reads within its bounds; once a read runs past them every later read gives zero or empty and
// ok() is false.
class ByteReader {
public:
    ByteReader(const char* data, qsizetype size) : at_(data), end_(data + size) {}

    bool ok() const { return ok_; }
    bool atEnd() const { return at_ == end_; }
    void fail() { ok_ = false; }

    std::uint8_t u8() { return take(1) ? static_cast<std::uint8_t>(at_[-1]) : 0; }
    std::uint32_t u32() { return take(4) ? qFromLittleEndian<std::uint32_t>(at_ - 4) : 0; }
    std::uint32_t ref(int width);
    QString string();
    // The table's texts behind the empty text of ref 0, and its ref width.
    std::vector<QString> table(int& width);
    // The text a ref names in `texts`.
    QString textOf(const std::vector<QString>& texts, int width);

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

}  // namespace tessera
