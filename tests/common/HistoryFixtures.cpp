#include "common/HistoryFixtures.h"

#include "config/Setup.h"
#include "history/History.h"
#include "history/TimeStamp.h"

#include <QFile>

namespace vimosync::test {

void WriteHistory(const QString& path, int version, const std::string& uin, const std::string& nick,
                  const std::vector<Msg>& msgs) {
    TZMTMessList list;
    list.FileName = path;
    list.Version = static_cast<std::uint8_t>(version);
    list.Scrambled = (version == 2 || version == 3) ? 1 : 0;
    list.UIN = uin;
    list.ContactNick = nick;
    const double base = EncodeDateTime(QDate(2021, 3, 4), QTime(10, 0));
    for (const Msg& m : msgs) {
        TZMTMess& x = NewMessage(list);
        x.Time = base + m.minute / 1440.0;
        x.Outgoing = m.out;
        x.Text = m.text;
        x.Nick = m.out ? HText("me") : HText(nick);
    }
    // Written under the test's settings, without a trash.
    TWorkflowOptions o = WorkflowOptions(Setup());
    o.Save.BackupToRecycleBin = false;
    bool backedUp = false;
    SaveHistory(list, backedUp, false, o.Read, o.Save);
}

TZMTMessList LoadFile(const QString& path) {
    TZMTMessList list;
    list.FileName = path;
    LoadHistory(list, LoadPlain, false, WorkflowOptions(Setup()).Read);
    return list;
}

QByteArray FileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace vimosync::test
