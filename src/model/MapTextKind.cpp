// Telling what a file handed to import is: its encoding, or what it is instead of a map path file.
#include "model/MapText.h"
#include "model/TextScan.h"

#include <algorithm>
#include <initializer_list>

namespace tessera {
namespace {

bool isContinuation(unsigned char b)
{
    return (b & 0xC0) == 0x80;
}

bool isValidUtf8(QByteArrayView bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n;) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            ++i;
            continue;
        }
        qsizetype extra = 0;
        unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
        if (b >= 0xC2 && b <= 0xDF) {
            extra = 1;
        } else if (b >= 0xE0 && b <= 0xEF) {
            extra = 2;
            if (b == 0xE0)
                low = 0xA0;
            if (b == 0xED)
                high = 0x9F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            extra = 3;
            if (b == 0xF0)
                low = 0x90;
            if (b == 0xF4)
                high = 0x8F;
        } else {
            return false;
        }
        if (i + extra >= n || p[i + 1] < low || p[i + 1] > high)
            return false;
        for (qsizetype k = 2; k <= extra; ++k) {
            if (!isContinuation(p[i + k]))
                return false;
        }
        i += extra + 1;
    }
    return true;
}

// The byte structure of GB18030: ASCII, lead 81-FE with a trail 40-7E or 80-FE, or the four-byte
// form lead, 30-39, 81-FE, 30-39.
bool isValidGb18030(QByteArrayView bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    const auto lead = [](unsigned char b) { return b >= 0x81 && b <= 0xFE; };
    const auto digit = [](unsigned char b) { return b >= 0x30 && b <= 0x39; };
    for (qsizetype i = 0; i < n;) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            ++i;
            while (i + 8 <= n && isAsciiWord(p + i))
                i += 8;
            continue;
        }
        if (!lead(b) || i + 1 >= n)
            return false;
        const unsigned char t = p[i + 1];
        if ((t >= 0x40 && t <= 0x7E) || (t >= 0x80 && t <= 0xFE)) {
            i += 2;
        } else if (digit(t) && i + 3 < n && lead(p[i + 2]) && digit(p[i + 3])) {
            i += 4;
        } else {
            return false;
        }
    }
    return true;
}

struct Signature {
    QByteArrayView bytes;
    qsizetype offset = 0;
};

bool startsWithAny(QByteArrayView bytes, std::initializer_list<Signature> signatures)
{
    return std::any_of(signatures.begin(), signatures.end(), [&](const Signature& s) {
        return bytes.size() >= s.offset + s.bytes.size() && bytes.sliced(s.offset, s.bytes.size()) == s.bytes;
    });
}

bool isPicture(QByteArrayView bytes)
{
    if (startsWithAny(bytes, {{"\xFF\xD8\xFF"}, {"\x89PNG\r\n\x1A\n"}, {"GIF87a"}, {"GIF89a"},
                              {QByteArrayView("II*\0", 4)}, {QByteArrayView("MM\0*", 4)}, {"WEBP", 8}}))
        return true;
    // "BM" alone could start a relative path: a bitmap also states the file's size.
    if (bytes.size() >= 14 && bytes.startsWith("BM")) {
        const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
        const quint32 size = p[2] | p[3] << 8 | p[4] << 16 | quint32(p[5]) << 24;
        return size == bytes.size();
    }
    return false;
}

bool isArchive(QByteArrayView bytes)
{
    return startsWithAny(bytes, {{"PK\x03\x04"}, {"PK\x05\x06"}, {"PK\x07\x08"}, {"\x1F\x8B"},
                                 {QByteArrayView("\xFD" "7zXZ\0", 6)}, {"7z\xBC\xAF\x27\x1C"},
                                 {"Rar!\x1A\x07"}, {"\x28\xB5\x2F\xFD"}, {"1AY&SY", 4}, {"ustar", 257}});
}

// Control bytes other than tab, CR and LF in the first line (the first 64 KiB at most). The file is
// read only up to its first zero byte, so only what comes before one is judged; a file that starts
// with one holds no text at all.
bool hasControlBytesInFirstLine(QByteArrayView bytes)
{
    if (bytes.startsWith('\0'))
        return true;
    QByteArrayView line = bytes.first(std::min<qsizetype>(bytes.size(), 64 * 1024));
    if (const qsizetype zero = line.indexOf('\0'); zero >= 0)
        line = line.first(zero);
    if (const qsizetype end = line.indexOf("\r\n"); end >= 0)
        line = line.first(end);
    return std::any_of(line.begin(), line.end(), [](char ch) {
        const auto b = static_cast<unsigned char>(ch);
        return (b < 0x20 && b != '\t' && b != '\r' && b != '\n') || b == 0x7F;
    });
}

}  // namespace

MapTextEncoding detectEncoding(QByteArrayView bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return MapTextEncoding::Utf8;
    return !isValidGb18030(bytes) && isValidUtf8(bytes) ? MapTextEncoding::Utf8 : MapTextEncoding::Gb18030;
}

MapFileKind classifyMapFile(QByteArrayView bytes)
{
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"))
        return MapFileKind::Utf16;
    if (isPicture(bytes))
        return MapFileKind::Picture;
    if (isArchive(bytes))
        return MapFileKind::Archive;
    if (bytes.startsWith("%PDF-") || hasControlBytesInFirstLine(bytes))
        return MapFileKind::Binary;
    // JSON or XML without CR LF and "|": read as one line, one cell that no tile's path can be.
    const QByteArrayView text = bytes.startsWith("\xEF\xBB\xBF") ? bytes.sliced(3).trimmed() : bytes.trimmed();
    if ((text.startsWith('{') || text.startsWith('[') || text.startsWith('<')) && text.contains('\n')
        && !text.contains("\r\n") && !text.contains('|'))
        return MapFileKind::OtherText;
    return MapFileKind::Text;
}

}  // namespace tessera
