#include "history/BinaryFormat.h"

#include "history/TimeStamp.h"
#include "support/Errors.h"
#include "support/HeapReuse.h"
#include "support/LangText.h"

#include <QFileInfo>

#include <algorithm>
#include <cstring>

namespace vimosync {

namespace {

std::uint16_t get16(const char* p) noexcept {
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return static_cast<std::uint16_t>((u[0] << 8) | u[1]);
}

std::uint32_t get32(const char* p) noexcept {
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return (std::uint32_t{u[0]} << 24) | (std::uint32_t{u[1]} << 16) | (std::uint32_t{u[2]} << 8) |
           std::uint32_t{u[3]};
}

void put16(char* p, std::uint32_t v) noexcept {
    p[0] = static_cast<char>((v >> 8) & 0xFF);
    p[1] = static_cast<char>(v & 0xFF);
}

void put32(char* p, std::uint32_t v) noexcept {
    p[0] = static_cast<char>((v >> 24) & 0xFF);
    p[1] = static_cast<char>((v >> 16) & 0xFF);
    p[2] = static_cast<char>((v >> 8) & 0xFF);
    p[3] = static_cast<char>(v & 0xFF);
}

// Header texts are padded with a zero byte in version 1; the reader drops every
// trailing byte up to and including the space.
std::string_view trimRightControl(std::string_view s) noexcept {
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= 32) {
        s.remove_suffix(1);
    }
    return s;
}

QString shortName(const QString& path) {
    return QFileInfo(path).fileName();
}

// Appends the text with every lone CR and lone LF made into CR LF.
void appendFixed(HArena& arena, std::string_view t) {
    std::size_t start = 0;
    const std::size_t n = t.size();
    for (std::size_t i = 0; i < n; ++i) {
        const char c = t[i];
        if (c == '\n') {
            if (i == 0 || t[i - 1] != '\r') {
                arena.append(t.substr(start, i - start));
                arena.append("\r\n");
                start = i + 1;
            }
        } else if (c == '\r') {
            if (i + 1 == n || t[i + 1] != '\n') {
                arena.append(t.substr(start, i - start));
                arena.append("\r\n");
                start = i + 1;
            }
        }
    }
    arena.append(t.substr(start));
}

} // namespace

std::size_t RecordFixedSize(int version) {
    switch (version) {
    case 1:
    case 2:
        return kZmtRecordFixed12;
    case 3:
        return kZmtRecordFixed3;
    default:
        return 0;
    }
}

void ScrambleInPlace(char* p, std::size_t n) noexcept {
    // 255 - x is ~x in 8 bits, so byte i becomes ~(byte + i + 1). Eight bytes at a time:
    // additions per byte without carries between them (the low seven bits added, the top
    // bit put back by exclusive or).
    constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;
    constexpr std::uint64_t kTop = 0x8080808080808080ULL;
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    auto addBytes = [](std::uint64_t a, std::uint64_t b) {
        return ((a & kLow7) + (b & kLow7)) ^ ((a ^ b) & kTop);
    };
    std::uint64_t ramp; // the bytes 1, 2, ..., 8 in memory order
    {
        const unsigned char r[8] = {1, 2, 3, 4, 5, 6, 7, 8};
        std::memcpy(&ramp, r, 8);
    }
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t x;
        std::memcpy(&x, p + i, 8);
        x = ~addBytes(x, addBytes(ramp, (i & 0xFF) * kOnes));
        std::memcpy(p + i, &x, 8);
    }
    auto* u = reinterpret_cast<unsigned char*>(p);
    for (; i < n; ++i) {
        u[i] = static_cast<unsigned char>(~(u[i] + i + 1));
    }
}

std::string ScrambleText(std::string_view bytes) {
    std::string out(bytes);
    ScrambleInPlace(out.data(), out.size());
    return out;
}

bool NeedsLineBreakFix(std::string_view t) noexcept {
    // Most texts hold no line break or only CR LF pairs: memchr skips to each candidate.
    const char* const begin = t.data();
    const char* const end = begin + t.size();
    for (const char* p = begin; p < end; ++p) {
        p = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
        if (!p) {
            break;
        }
        if (p == begin || p[-1] != '\r') {
            return true;
        }
    }
    for (const char* p = begin; p < end; ++p) {
        p = static_cast<const char*>(std::memchr(p, '\r', static_cast<std::size_t>(end - p)));
        if (!p) {
            break;
        }
        if (p + 1 == end || p[1] != '\n') {
            return true;
        }
    }
    return false;
}

std::string FixLineBreaks(std::string_view text) {
    if (!NeedsLineBreakFix(text)) {
        return std::string(text);
    }
    HArena arena(text.size() * 2 + 2);
    arena.begin();
    appendFixed(arena, text);
    return arena.finish().str();
}

void ParseBinaryHeader(std::string_view bytes, TZMTHead& entry) {
    entry.Valid = false;
    if (bytes.size() < 4 || bytes.substr(0, 3) != "ZMT") {
        throw Exception(Format(LangText::InvalidZmtStructure), "EZmtError");
    }
    const auto version = static_cast<unsigned char>(bytes[3]);
    if (version < 1 || version > 3) {
        throw Exception(
            Format(LangText::UnsupportedZmtFormat,
                   QStringLiteral("%1").arg(version, 2, 16, QLatin1Char('0')).toUpper()),
            "EZmtError");
    }
    if (bytes.size() < kZmtFixedHeader) {
        throw Exception(Format(LangText::InvalidZmtStructure), "EZmtError");
    }
    const std::size_t l1 = get16(bytes.data() + 44);
    if (bytes.size() < kZmtFixedHeader + l1 + 2) {
        throw Exception(Format(LangText::InvalidZmtStructure), "EZmtError");
    }
    const std::size_t l2 = get16(bytes.data() + kZmtFixedHeader + l1);
    const std::size_t dataOffset = kZmtFixedHeader + l1 + 2 + l2;
    if (bytes.size() < dataOffset) {
        throw Exception(Format(LangText::InvalidZmtStructure), "EZmtError");
    }
    entry.Version = version;
    entry.Scrambled = version == 1 ? 0 : 1;
    entry.UIN = std::string(trimRightControl(bytes.substr(kZmtFixedHeader, l1)));
    entry.Nick = std::string(trimRightControl(bytes.substr(kZmtFixedHeader + l1 + 2, l2)));
    entry.DataOffset = static_cast<int>(dataOffset);
    entry.Valid = true;
}

void ParseBinaryHistory(TZMTMessList& list, std::string&& bytes, TLoadMode mode,
                        const TReadOptions& options) {
    list.Valid = false;
    TZMTHead head;
    try {
        ParseBinaryHeader(bytes, head);
    } catch (const Exception&) {
        return;
    }
    list.UIN = head.UIN;
    list.Version = head.Version;
    list.Scrambled = head.Scrambled;

    // The nicks are shared by every message of the load.
    const HText ownNick(options.OwnNick);
    const HText contactNick(list.ContactNick);
    const bool correctCrlf = options.CorrectCRLF;
    const int version = head.Version;
    const bool scrambled = head.Scrambled == 1;
    const std::size_t fixed = RecordFixedSize(version);
    const std::size_t lengthAt = version == 3 ? 33 : 31;
    const long long shift = StampShiftSeconds(version, options);

    HStore store(std::move(bytes));
    char* const base = store.data();
    const std::size_t size = store.size();
    std::size_t pos = static_cast<std::size_t>(head.DataOffset);

    // The count in the header is only a hint for the allocation; the records decide.
    const std::size_t hinted = get32(base + 34);
    ReserveLarge(list.Items, list.Items.size() + std::min(hinted, (size - pos) / fixed));

    HArena arena;
    bool ok = true;
    while (pos < size) {
        if (size - pos < fixed) {
            ok = false;
            break;
        }
        const char* rec = base + pos;
        const std::size_t textLen = get16(rec + lengthAt);
        if (size - pos - fixed < textLen) {
            ok = false;
            break;
        }
        char* text = base + pos + fixed;
        if (scrambled) {
            ScrambleInPlace(text, textLen);
        }
        TZMTMess& m = NewMessage(list);
        m.Outgoing = rec[26] != 0;
        m.Stamp = static_cast<std::int32_t>(get32(rec + 18));
        m.Time = TimeOfSeconds(m.Stamp + shift);
        m.Nick = m.Outgoing ? ownNick : contactNick;
        const std::string_view view(text, textLen);
        if (correctCrlf && NeedsLineBreakFix(view)) {
            arena.begin();
            appendFixed(arena, view);
            m.Text = arena.finish();
        } else {
            m.Text = store.slice(text, textLen);
        }
        pos += fixed + textLen;
    }
    list.Valid = ok;
    if (mode == LoadContactNick) {
        list.ContactNick = head.Nick;
    }
}

std::size_t RecordSize(const TZMTMessList& list, int index) {
    const std::size_t t = list[index].Text.size();
    if (list.Version == 0) {
        return t;
    }
    const std::size_t fixed = RecordFixedSize(list.Version);
    return fixed ? fixed + t : 0;
}

void WriteRecord(const TZMTMessList& list, int index, const TReadOptions& options,
                 std::string& out) {
    const TZMTMess& m = list[index];
    const std::string_view text = m.Text.view();
    if (list.Version == 0) {
        out.append(text);
        return;
    }
    const std::size_t fixed = RecordFixedSize(list.Version);
    if (fixed == 0) {
        return;
    }
    if (text.size() > kZmtMaxField) {
        throw Exception(Format(LangText::TextTooLong, static_cast<qint64>(text.size()),
                               shortName(list.FileName)),
                        "EZmtError");
    }
    std::int32_t stamp = 0;
    if (!StampOfTime(m.Time, list.Version, options, stamp)) {
        throw Exception(Format(LangText::DateOutOfRange,
                               ToDateTime(m.Time).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")),
                               shortName(list.FileName)),
                        "EZmtError");
    }
    char rec[kZmtRecordFixed3] = {};
    const auto t = static_cast<std::uint32_t>(text.size());
    rec[1] = 1;
    put32(rec + 2, static_cast<std::uint32_t>(fixed - 6) + t);
    rec[7] = 1;
    rec[9] = 4;
    put32(rec + 10, static_cast<std::uint32_t>(index) + 1);
    rec[15] = 2;
    rec[17] = 4;
    put32(rec + 18, static_cast<std::uint32_t>(stamp));
    rec[23] = 3;
    rec[25] = 3;
    rec[26] = m.Outgoing ? 1 : 0;
    rec[28] = 1;
    rec[30] = 4;
    put16(rec + (list.Version == 3 ? 33 : 31), t);
    out.append(rec, fixed);
    const std::size_t at = out.size();
    out.append(text);
    if (list.Scrambled == 1) {
        ScrambleInPlace(out.data() + at, text.size());
    }
}

std::string BuildBinaryFile(const TZMTMessList& list, const TReadOptions& options) {
    const int version = list.Version;
    if (version < 1 || version > 3) {
        return {};
    }
    const std::size_t pad = version == 1 ? 1 : 0;
    const std::size_t l1 = list.UIN.size() + pad;
    const std::size_t l2 = list.ContactNick.size() + pad;
    if (l1 > kZmtMaxField || l2 > kZmtMaxField) {
        throw Exception(Format(LangText::HeaderFieldTooLong, static_cast<qint64>(std::max(l1, l2)),
                               shortName(list.FileName)),
                        "EZmtError");
    }
    const std::size_t headerSize = kZmtFixedHeader + l1 + 2 + l2;
    std::size_t total = headerSize;
    for (int i = 0; i < list.Count(); ++i) {
        total += RecordSize(list, i);
    }
    std::string out(headerSize, '\0');
    out.reserve(total);
    char* h = out.data();
    std::memcpy(h, "ZMT", 3);
    h[3] = static_cast<char>(version);
    put32(h + 34, static_cast<std::uint32_t>(list.Count()));
    put32(h + 38, static_cast<std::uint32_t>(list.Count()));
    put16(h + 42, version == 1 ? 1 : 0);
    put16(h + 44, static_cast<std::uint32_t>(l1));
    std::memcpy(h + kZmtFixedHeader, list.UIN.data(), list.UIN.size());
    put16(h + kZmtFixedHeader + l1, static_cast<std::uint32_t>(l2));
    std::memcpy(h + kZmtFixedHeader + l1 + 2, list.ContactNick.data(), list.ContactNick.size());
    for (int i = 0; i < list.Count(); ++i) {
        WriteRecord(list, i, options, out);
    }
    const std::size_t size = version == 1 ? out.size() - headerSize : out.size() - 8;
    put32(out.data() + 4, static_cast<std::uint32_t>(size));
    return out;
}

} // namespace vimosync
