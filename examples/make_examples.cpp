// Writes the example directories: a plain-text ("Oskel") source directory and a
// destination directory holding binary histories of versions 1, 2 and 3, an archive
// folder and a plain-text file, with differences worth looking at.
//
//   vimosync-make-examples OUT      creates OUT/source and OUT/destination
//
// The files are written by the program's own writer (SaveHistory).

#include "history/History.h"
#include "history/Model.h"
#include "history/TimeStamp.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QTime>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

using namespace vimosync;

namespace {

const char* const kOwnNick = "alex_k";

struct Line {
    int Day;        // days after the contact's first day
    const char* At; // "hh:mm:ss"
    bool Outgoing;
    const char* Text;
};

struct Contact {
    const char* Uin;
    const char* Nick;
    QDate First;
    std::vector<Line> Lines;
};

TZMTMess Message(const Contact& c, const Line& l) {
    TZMTMess m;
    m.Time = EncodeDateTime(c.First.addDays(l.Day), QTime::fromString(QString::fromLatin1(l.At),
                                                                      QStringLiteral("hh:mm:ss")));
    m.Outgoing = l.Outgoing;
    m.Nick = HText(l.Outgoing ? kOwnNick : c.Nick);
    m.Text = HText(l.Text);
    return m;
}

// The messages of lines [from, to) of the contact, less those at the given positions.
TZMTMessList Messages(const Contact& c, std::size_t from, std::size_t to,
                      const std::vector<std::size_t>& skip = {}) {
    TZMTMessList list;
    list.UIN = c.Uin;
    list.ContactNick = c.Nick;
    for (std::size_t i = from; i < to && i < c.Lines.size(); ++i) {
        if (std::find(skip.begin(), skip.end(), i) == skip.end()) {
            list.Items.push_back(Message(c, c.Lines[i]));
        }
    }
    return list;
}

void Write(TZMTMessList list, const QString& path, int version) {
    list.FileName = path;
    list.Version = static_cast<std::uint8_t>(version);
    list.Scrambled = version >= 2 ? 1 : 0;
    // Replaced files are simply overwritten; the settings are the defaults.
    TReadOptions read;
    read.OwnNick = kOwnNick;
    TSaveOptions save;
    save.BackupToRecycleBin = false;
    bool backedUp = false;
    SaveHistory(list, backedUp, false, read, save);
    std::printf("%s (%d messages)\n", qPrintable(QDir::toNativeSeparators(path)), list.Count());
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUT\n", argv[0]);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    const QString src = out.filePath(QStringLiteral("source"));
    const QString dst = out.filePath(QStringLiteral("destination"));
    QDir().mkpath(src);
    QDir().mkpath(dst + QStringLiteral("/Archive"));

    const Contact nightOwl{
        "111111",
        "night_owl",
        QDate(2006, 3, 7),
        {{0, "14:05:09", false, "hi, are you still up?"},
         {0, "14:06:40", true, "yes, finishing the report"},
         {0, "14:07:02", false, "need help with the slides tomorrow?"},
         {0, "14:09:15", true, "that would be great\r\nten o'clock at the office?"},
         {0, "14:09:58", false, "ok, see you there"},
         {1, "09:58:31", false, "I'm downstairs"},
         {1, "09:59:02", true, "coming"},
         {2, "18:20:11", true, "thanks again for today"},
         {2, "18:25:47", false, "any time"},
         {5, "21:02:19", false, "did they like the slides?"},
         {5, "21:04:00", true, "they did! the project goes on"},
         {5, "21:04:30", false, "congratulations :)"},
         {6, "08:15:00", true, "coffee on friday?"},
         {6, "08:31:44", false, "sure, the usual place"}}};
    const Contact marina{"222222",
                         "marina",
                         QDate(2005, 11, 20),
                         {{0, "10:00:00", false, "Hello! Are the tickets booked?"},
                          {0, "10:02:13", true, "Yes, train at 7:40 on Saturday"},
                          {0, "10:03:30", false, "great, I'll bring sandwiches"},
                          {3, "19:44:05", true, "we're on the platform"},
                          {3, "19:44:51", false, "running late, 5 minutes"},
                          {10, "12:30:00", false, "photos from the trip are online"},
                          {10, "12:41:22", true, "the one with the lake is wonderful"},
                          {30, "16:16:16", false, "next trip in spring?"},
                          {30, "16:20:02", true, "definitely"},
                          {31, "09:00:00", false, "I found a cheap hostel"},
                          {31, "09:10:45", true, "book it!"},
                          {32, "11:11:11", false, "booked for March 18"}}};
    const Contact dmitry{"333333",
                         "Дмитрий",
                         QDate(2006, 4, 2),
                         {{0, "20:00:00", false, "Привет! Как дела?"},
                          {0, "20:01:12", true, "Привет, всё хорошо, спасибо"},
                          {1, "08:30:00", false, "Встреча завтра в 10?"},
                          {1, "08:35:00", true, "Да, до встречи"}}};
    const Contact dmitryPda{"333333",
                            "Дмитрий",
                            QDate(2005, 6, 1),
                            {{0, "12:00:00", false, "Test message from the PDA"},
                             {0, "12:05:00", true, "Received, the PDA works"},
                             {14, "17:45:00", false, "Back from holidays"}}};
    const Contact bookclub{"444444",
                           "bookclub",
                           QDate(2006, 5, 10),
                           {{0, "19:00:00", false, "Next book: The Master and Margarita"},
                            {0, "19:05:00", true, "Good choice, I'll be there"},
                            {7, "19:00:00", false, "Meeting moved to Thursday"}}};
    const Contact oldFriend{"555555",
                            "old_friend",
                            QDate(2004, 8, 15),
                            {{0, "22:10:00", false, "long time no see!"},
                             {0, "22:12:34", true, "indeed, how have you been?"},
                             {0, "22:15:00", false, "busy, but fine. let's meet"}}};
    const Contact workChat{"666666",
                           "work_chat",
                           QDate(2006, 2, 1),
                           {{0, "09:00:00", false, "stand-up in five minutes"},
                            {0, "09:01:00", true, "on my way"},
                            {0, "11:30:00", false, "build is green again"},
                            {1, "09:00:00", false, "stand-up moved to 9:30"}}};
    TZMTMessList workSpaces = Messages(workChat, 0, 4);
    // The destination's copy differs only in spaces: equal when spaces are ignored.
    workSpaces.Items[2].Text = HText("build  is green again ");

    // Source: the plain-text histories.
    Write(Messages(nightOwl, 0, 14, {8, 9}), src + QStringLiteral("/111111.txt"), 0);
    Write(Messages(marina, 0, 12), src + QStringLiteral("/222222.txt"), 0);
    Write(Messages(dmitry, 0, 4), src + QStringLiteral("/333333.txt"), 0);
    Write(Messages(bookclub, 0, 3), src + QStringLiteral("/444444.txt"), 0);
    Write(Messages(oldFriend, 0, 3), src + QStringLiteral("/555555.txt"), 0);
    Write(Messages(workChat, 0, 4), src + QStringLiteral("/666666.txt"), 0);

    // Destination: a Varyon history lacking the newest messages and one in the middle...
    Write(Messages(nightOwl, 0, 11, {3}), dst + QStringLiteral("/Varyon_111111.zmt"), 2);
    // ... one whose older part went to the archive folder...
    Write(Messages(marina, 0, 7), dst + QStringLiteral("/Archive/Varyon_222222_1.ahf"), 2);
    Write(Messages(marina, 7, 11), dst + QStringLiteral("/Varyon_222222.zmt"), 2);
    // ... a PDA history of an earlier time...
    Write(Messages(dmitryPda, 0, 3), dst + QStringLiteral("/1_333333.zmt"), 1);
    // ... an identical one in version 3, and a plain-text one.
    Write(Messages(oldFriend, 0, 3), dst + QStringLiteral("/Varyon_555555.zmt"), 3);
    Write(workSpaces, dst + QStringLiteral("/666666.txt"), 0);
    return 0;
}
