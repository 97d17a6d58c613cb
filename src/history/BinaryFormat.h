#pragma once

// The binary history format (".zmt" and ".ahf", versions 1 to 3): big-endian numbers,
// a 46-byte fixed header with the UIN and the contact nick, then one record per message
// whose text is stored as UTF-8, scrambled in versions 2 and 3.

#include "history/Model.h"
#include "history/Options.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vimosync {

constexpr std::size_t kZmtFixedHeader = 46;
constexpr std::size_t kZmtRecordFixed12 = 33; // versions 1 and 2
constexpr std::size_t kZmtRecordFixed3 = 35;  // version 3
constexpr std::size_t kZmtMaxField = 0xFFFF;  // 16-bit length fields

// Fixed part of a record in the version (0 for a version without records).
std::size_t RecordFixedSize(int version);

// Reverses the scrambling of versions 2 and 3 in place, or applies it: byte i (1-based)
// becomes 255 - ((byte + i) mod 256). The routine is its own inverse.
void ScrambleInPlace(char* p, std::size_t n) noexcept;
std::string ScrambleText(std::string_view bytes);

// Turns every lone LF and every lone CR into CR LF.
bool NeedsLineBreakFix(std::string_view text) noexcept;
std::string FixLineBreaks(std::string_view text);

// Reads the header at the start of bytes into the entry (Version, Scrambled, UIN, Nick,
// DataOffset) and sets Valid. Throws Exception on a wrong magic or version or a header
// cut short; the entry's Valid is then false.
void ParseBinaryHeader(std::string_view bytes, TZMTHead& entry);

// Appends the messages of a whole binary file held in bytes to the list (the list takes
// UIN, Version and Scrambled from the header) and sets Valid. Texts are unscrambled in
// place in the buffer and point into it. Never throws for bad content: a bad header or a
// record cut short gives Valid false, with the messages before it kept.
void ParseBinaryHistory(TZMTMessList& list, std::string&& bytes, TLoadMode mode,
                        const TReadOptions& options);

// Bytes the message at the index takes when stored in the list's version: the text
// length for version 0, fixed part plus text for versions 1 to 3, else 0.
std::size_t RecordSize(const TZMTMessList& list, int index);

// Appends the message at the index as one record of the list's version, numbered
// index + 1; for version 0 only its text. Throws Exception when the text does not fit
// the 16-bit length field (the message names the list's file).
void WriteRecord(const TZMTMessList& list, int index, const TReadOptions& options,
                 std::string& out);

// The whole file of the list in its version 1 to 3, built in memory. Throws Exception
// (naming the list's file) when a text, the UIN or the nick does not fit its length field.
std::string BuildBinaryFile(const TZMTMessList& list, const TReadOptions& options);

} // namespace vimosync
