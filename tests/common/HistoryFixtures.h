#pragma once

// Histories written by our own writer for tests of the workflow and its commands.

#include "history/Model.h"

#include <QByteArray>
#include <QString>

#include <string>
#include <vector>

namespace vimosync::test {

struct Msg {
    int minute; // minutes after 2021-03-04 10:00
    bool out;
    const char* text;
};

// Writes the messages as a history of the version (no backup, no split); outgoing
// messages carry the nick "me", incoming ones the contact's nick.
void WriteHistory(const QString& path, int version, const std::string& uin, const std::string& nick,
                  const std::vector<Msg>& msgs);
// Loads a history without archives.
TZMTMessList LoadFile(const QString& path);
// The file's bytes, empty when it cannot be read.
QByteArray FileBytes(const QString& path);

} // namespace vimosync::test
