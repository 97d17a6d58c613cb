// Feeds arbitrary bytes to the binary history reader, then writes what it read and
// reads that again: the second reading must give the same messages.

#include "history/BinaryFormat.h"
#include "support/Errors.h"

#include <cstdint>
#include <cstdlib>
#include <string>

using namespace vimosync;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    // The last byte chooses the line-break repair, so both ways are explored.
    TReadOptions gRead;
    gRead.CorrectCRLF = size > 0 && (data[size - 1] & 1) != 0;

    TZMTHead head;
    try {
        ParseBinaryHeader(bytes, head);
    } catch (const Exception&) {
    }

    TZMTMessList list;
    list.ContactNick = "contact";
    ParseBinaryHistory(list, std::string(bytes), LoadContactNick, gRead);
    if (!head.Valid && (list.Valid || list.Count() != 0)) {
        std::abort(); // messages need a readable header
    }
    if (!head.Valid) {
        return 0;
    }
    std::string written;
    try {
        written = BuildBinaryFile(list, gRead);
    } catch (const Exception&) {
        return 0; // a repaired text grew beyond the length field
    }
    TZMTMessList again;
    again.ContactNick = list.ContactNick;
    ParseBinaryHistory(again, std::move(written), LoadPlain, gRead);
    if (!again.Valid || again.Count() != list.Count() || again.UIN != list.UIN) {
        std::abort();
    }
    for (int i = 0; i < list.Count(); ++i) {
        if (again[i].Text != list[i].Text || again[i].Outgoing != list[i].Outgoing ||
            again[i].Stamp != list[i].Stamp) {
            std::abort();
        }
    }
    return 0;
}
