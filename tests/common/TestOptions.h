#pragma once

// The option values of the settings a test has put into Setup(), for the calls of the
// history and merge code that take them.

#include "config/Setup.h"

#include <string>

namespace vimosync::test {

inline std::string& OwnNick() {
    static std::string nick = "<My Nick>";
    return nick;
}

// Read with the nick of OwnNick().
inline TReadOptions ReadOptions() {
    TReadOptions read = WorkflowOptions(Setup()).Read;
    read.OwnNick = OwnNick();
    return read;
}

inline TSaveOptions SaveOptions() {
    return WorkflowOptions(Setup()).Save;
}

inline TMergeOptions MergeOptions() {
    return WorkflowOptions(Setup()).Merge;
}

} // namespace vimosync::test
