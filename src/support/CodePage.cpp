#include "support/CodePage.h"

#include "support/Errors.h"
#include "support/LangText.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>

namespace vimosync {

namespace {

// One iconv descriptor, closed on every way out.
class Converter {
public:
    Converter(const QString& to, const QString& from)
        : cd_(iconv_open(to.toLatin1().constData(), from.toLatin1().constData())) {}
    ~Converter() {
        if (ok()) {
            iconv_close(cd_);
        }
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return cd_; }

private:
    iconv_t cd_;
};

// Length of the valid UTF-8 sequence at p, or 0 when the bytes there are not one.
std::size_t utf8SequenceLength(const unsigned char* p, std::size_t avail) {
    const unsigned char c = p[0];
    std::size_t n = 0;
    unsigned min = 0;
    if (c < 0x80) {
        return 1;
    } else if ((c & 0xE0) == 0xC0) {
        n = 2;
        min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
        n = 3;
        min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
        n = 4;
        min = 0x10000;
    } else {
        return 0;
    }
    if (avail < n) {
        return 0;
    }
    unsigned cp = c & (0x7Fu >> n);
    for (std::size_t i = 1; i < n; ++i) {
        if ((p[i] & 0xC0) != 0x80) {
            return 0;
        }
        cp = (cp << 6) | (p[i] & 0x3Fu);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        return 0;
    }
    return n;
}

// Runs the whole input through the descriptor. At a sequence it cannot convert,
// `skip` tells how many input bytes to pass over and `replacement` is written instead.
template <class SkipFn>
std::string convertAll(iconv_t cd, std::string_view in, std::string_view replacement, SkipFn skip) {
    std::string out;
    out.resize(in.size() + in.size() / 2 + 16);
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    std::size_t used = 0;
    auto grow = [&] { out.resize(out.size() * 2 + 16); };
    bool flushing = false;
    while (true) {
        char* dst = out.data() + used;
        std::size_t dstLeft = out.size() - used;
        const std::size_t r = flushing ? iconv(cd, nullptr, nullptr, &dst, &dstLeft)
                                       : iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        used = out.size() - dstLeft;
        if (r != static_cast<std::size_t>(-1)) {
            if (flushing) {
                break;
            }
            flushing = true;
            continue;
        }
        if (errno == E2BIG) {
            grow();
            continue;
        }
        if (flushing) {
            break;
        }
        // EILSEQ or EINVAL (a sequence cut off by the end): replace and go on.
        const std::size_t n =
            std::min<std::size_t>(srcLeft, skip(reinterpret_cast<unsigned char*>(src), srcLeft));
        src += n;
        srcLeft -= n;
        while (out.size() - used < replacement.size()) {
            grow();
        }
        out.replace(used, replacement.size(), replacement);
        used += replacement.size();
    }
    out.resize(used);
    return out;
}

} // namespace

bool IsUtf8CodePage(const QString& name) {
    const QString n = name.trimmed().toLower().remove(QLatin1Char('-')).remove(QLatin1Char('_'));
    return n.isEmpty() || n == QLatin1String("utf8") || n == QLatin1String("65001");
}

void ValidateCodePage(const QString& name) {
    if (IsUtf8CodePage(name)) {
        return;
    }
    const QString utf8 = QStringLiteral("UTF-8");
    if (!Converter(utf8, name).ok() || !Converter(name, utf8).ok()) {
        throw Exception(Format(LangText::UnknownCodePage, name), "ECodePage");
    }
}

std::string CodePageToUtf8(std::string_view bytes, const QString& codePage) {
    if (IsUtf8CodePage(codePage)) {
        return std::string(bytes);
    }
    Converter c(QStringLiteral("UTF-8"), codePage);
    if (!c.ok()) {
        throw Exception(Format(LangText::UnknownCodePage, codePage), "ECodePage");
    }
    return convertAll(c.get(), bytes, "\xEF\xBF\xBD",
                      [](const unsigned char*, std::size_t) { return std::size_t{1}; });
}

std::string Utf8ToCodePage(std::string_view utf8, const QString& codePage) {
    if (IsUtf8CodePage(codePage)) {
        return std::string(utf8);
    }
    Converter c(codePage, QStringLiteral("UTF-8"));
    if (!c.ok()) {
        throw Exception(Format(LangText::UnknownCodePage, codePage), "ECodePage");
    }
    // "?" as the code page writes it (ASCII in every 8-bit code page).
    std::string question = "?";
    {
        Converter q(codePage, QStringLiteral("UTF-8"));
        question = convertAll(q.get(), "?", "?",
                              [](const unsigned char*, std::size_t) { return std::size_t{1}; });
    }
    return convertAll(c.get(), utf8, question, [](const unsigned char* p, std::size_t avail) {
        const std::size_t n = utf8SequenceLength(p, avail);
        return n ? n : std::size_t{1};
    });
}

} // namespace vimosync
