// Feeds arbitrary bytes to the plain-text history reader in each nick mode, to the
// date-time reader and patterns, and through the code page conversion.

#include "history/DateTimeFormat.h"
#include "history/TextFormat.h"
#include "support/CodePage.h"

#include <cstdint>
#include <cstdlib>
#include <string>

using namespace vimosync;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const TLoadMode mode = static_cast<TLoadMode>(size % 3);
    TReadOptions gRead;
    gRead.Text.TimeBeforeDate = size % 2 == 0;

    TZMTMessList list;
    ParsePlainText(list, std::string(bytes), mode, gRead.Text);
    if (list.Valid != (list.Count() > 0)) {
        std::abort();
    }
    // What was read is written and read again: at most as many messages come back (a
    // nick or text holding a separator splits differently), never a crash.
    const std::string written = BuildPlainText(list, gRead.Text);
    TZMTMessList again;
    ParsePlainText(again, std::string(written), LoadPlain, gRead.Text);

    double t = 0;
    const std::string_view head(bytes.data(), std::min<std::size_t>(size, 64));
    if (ParseTxtDateTime(head, gRead.Text.Dates, t)) {
        FormatDateTime(QStringLiteral("hh:nn:ss d\"/\"mm\"/\"yyyy"), t);
    }
    const TDatePattern pattern(QString::fromUtf8(head.data(), static_cast<qsizetype>(head.size())));
    std::string formatted;
    pattern.AppendTo(formatted, size * 37.25 - 100000.0);

    const QString cp = QStringLiteral("windows-1251");
    Utf8ToCodePage(CodePageToUtf8(bytes, cp), cp);
    Utf8ToCodePage(bytes, QStringLiteral("ISO-8859-5"));
    return 0;
}
