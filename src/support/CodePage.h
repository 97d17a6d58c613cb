#pragma once

// Conversion of plain-text history files between UTF-8 (how texts are held in memory)
// and the code page the files are written in. An empty code page name, or any name of
// UTF-8, means the bytes are UTF-8 already and nothing is converted.

#include <QString>

#include <string>
#include <string_view>

namespace vimosync {

// True when the name means UTF-8 (empty, "UTF-8", "utf8", ...): no conversion needed.
bool IsUtf8CodePage(const QString& name);

// Throws Exception when the code page is not known to the converter in both directions.
void ValidateCodePage(const QString& name);

// Bytes in the code page to UTF-8. A byte the code page does not define becomes U+FFFD.
std::string CodePageToUtf8(std::string_view bytes, const QString& codePage);

// UTF-8 to the code page. A character the code page cannot hold, and every byte of an
// invalid UTF-8 sequence, becomes "?".
std::string Utf8ToCodePage(std::string_view utf8, const QString& codePage);

} // namespace vimosync
