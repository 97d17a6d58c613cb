#pragma once

// Binary history files put together field by field from the format's byte tables, so
// that the tests compare the reader and the writer against the tables themselves.

#include <QByteArray>

#include <cstdint>
#include <string>
#include <vector>

namespace vimosync::test {

inline void be16(QByteArray& b, std::uint32_t v) {
    b.append(static_cast<char>((v >> 8) & 0xFF));
    b.append(static_cast<char>(v & 0xFF));
}

inline void be32(QByteArray& b, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        b.append(static_cast<char>((v >> shift) & 0xFF));
    }
}

struct GoldenRecord {
    std::int32_t stamp;
    bool outgoing;
    QByteArray text; // as held in memory (UTF-8); scrambled here for versions 2 and 3
};

inline QByteArray goldenScramble(QByteArray t) {
    for (int i = 0; i < t.size(); ++i) {
        const auto in = static_cast<unsigned char>(t[i]);
        t[i] = static_cast<char>(static_cast<unsigned char>(255 - ((in + i + 1) % 256)));
    }
    return t;
}

// The header: magic, version, size, 26 zero bytes, the count twice, the value at 42,
// the UIN field and the nick field (with a zero byte each in version 1).
inline QByteArray goldenHeader(int version, const QByteArray& uin, const QByteArray& nick,
                               std::uint32_t count, std::uint32_t sizeField) {
    QByteArray b("ZMT");
    b.append(static_cast<char>(version));
    be32(b, sizeField);
    b.append(QByteArray(26, '\0'));
    be32(b, count);
    be32(b, count);
    be16(b, version == 1 ? 1 : 0);
    const QByteArray pad = version == 1 ? QByteArray(1, '\0') : QByteArray();
    be16(b, static_cast<std::uint32_t>(uin.size() + pad.size()));
    b.append(uin + pad);
    be16(b, static_cast<std::uint32_t>(nick.size() + pad.size()));
    b.append(nick + pad);
    return b;
}

inline QByteArray goldenRecord(int version, std::uint32_t number, const GoldenRecord& r) {
    const QByteArray text = version == 1 ? r.text : goldenScramble(r.text);
    const auto t = static_cast<std::uint32_t>(text.size());
    QByteArray b;
    b.append("\x00\x01", 2);
    be32(b, (version == 3 ? 29 : 27) + t);
    b.append("\x00\x01\x00\x04", 4);
    be32(b, number);
    b.append("\x00\x02\x00\x04", 4);
    be32(b, static_cast<std::uint32_t>(r.stamp));
    b.append("\x00\x03\x00\x03", 4);
    b.append(r.outgoing ? '\x01' : '\x00');
    b.append("\x00\x01\x00\x04", 4);
    if (version == 3) {
        b.append("\x00\x00", 2);
    }
    be16(b, t);
    b.append(text);
    return b;
}

inline QByteArray goldenFile(int version, const QByteArray& uin, const QByteArray& nick,
                             const std::vector<GoldenRecord>& records) {
    QByteArray body;
    for (std::size_t i = 0; i < records.size(); ++i) {
        body += goldenRecord(version, static_cast<std::uint32_t>(i + 1), records[i]);
    }
    const QByteArray probe = goldenHeader(version, uin, nick, 0, 0);
    const auto headerSize = static_cast<std::uint32_t>(probe.size());
    const auto total = static_cast<std::uint32_t>(probe.size() + body.size());
    const std::uint32_t sizeField = version == 1 ? total - headerSize : total - 8;
    return goldenHeader(version, uin, nick, static_cast<std::uint32_t>(records.size()), sizeField) +
           body;
}

} // namespace vimosync::test
