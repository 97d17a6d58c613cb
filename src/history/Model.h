#pragma once

// The in-memory model of histories: one message, the messages of one file, one
// analysed contact and the contact list, with the tables indexed by format version.

#include "history/FileStore.h"
#include "history/HText.h"

#include <QString>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vimosync {

// Format version: 0 plain text, 1 binary (PDA), 2 and 3 binary (Varyon, scrambled).
constexpr int kFormatVersionCount = 4;
extern const std::array<const char*, kFormatVersionCount> FormatLabels;
extern const std::array<const char*, kFormatVersionCount> SaveMasks;   // "%s" = UIN
extern const std::array<const char*, kFormatVersionCount> SearchMasks; // tried in this order

// Fills "%s" of a mask (SaveMasks, SearchMasks) with the UIN.
QString FormatMask(const char* mask, const QString& uin);

// Nick modes of LoadHistory.
enum TLoadMode : int { LoadPlain = 0, LoadOwnNick = 1, LoadContactNick = 2 };

// One message. Texts are UTF-8 bytes that share storage with the file they came from.
struct TZMTMess {
    double Time = 0;        // days since 1899-12-30, local time; sort and compare key
    std::int32_t Stamp = 0; // as stored in a binary file, informational
    std::int32_t Seq = 0;   // merge ordinal, tie-break for equal times
    bool Outgoing = false;
    bool Differs = false;
    bool ToSource = false; // both ways: a merged message the source lacks (the Merged view)
    HText Nick;
    HText Text; // lines separated by CR LF
};

// The messages of one history file, in file order, plus what is known of the file.
class TZMTMessList {
public:
    TZMTMessList() = default;
    TZMTMessList(const TZMTMessList&) = default;
    TZMTMessList(TZMTMessList&&) noexcept = default;
    TZMTMessList& operator=(const TZMTMessList&) = default;
    TZMTMessList& operator=(TZMTMessList&&) noexcept = default;
    // A large message array is kept for the next history of that size (HeapReuse.h).
    ~TZMTMessList();

    std::vector<TZMTMess> Items;

    bool HasDiff = false;
    int DiffCount = 0;
    std::string UIN;
    std::string ContactNick; // UTF-8
    // Set by a plain-text load in LoadOwnNick mode: the nick of the outgoing messages
    // found in the file (UTF-8); empty when none was found.
    std::string OwnNick;
    QString FileName; // full path; empty for a list without a file
    std::uint8_t Scrambled = 0;
    std::uint8_t Version = 0;
    bool Valid = false;
    // Set by a load with archives: every archive file of the history was read whole
    // (no invalid archive, no archive files left beyond a missing number). A save in
    // split mode removes the old archives, so it must know that they were all read.
    bool ArchivesComplete = true;
    // Set by the loader: the file (or one of its archive files) exists but was not read
    // whole: a binary record cut short, a plain-text message or line passed over, a
    // file that cannot be read. Problem names the file and says why.
    bool Damaged = false;
    QString Problem;
    // Set by the loader: the history file exists but could not be read (the message,
    // naming the file and the reason); empty otherwise.
    QString ReadError;
    // Set by the merge: why the result cannot be stored in its file's kind (a message
    // the format cannot hold); empty when it can.
    QString StoreProblem;
    // The file as the loader found it (taken before reading). When CheckIdentity is set,
    // a save puts its new content under the name only while the file is still that, so
    // that what another program wrote meanwhile is not overwritten.
    FileIdentity Identity;
    bool CheckIdentity = false;
    // Set before a load: every file the loader reads (the history and its archive
    // files) is noted in FilesRead with the digest of the bytes read. A save whose run
    // keeps a journal takes the old contents' digests from there, while the files are
    // still the ones read, instead of reading them a second time.
    bool KeepDigests = false;
    std::vector<FileRead> FilesRead;

    int Count() const { return static_cast<int>(Items.size()); }
    bool IsEmpty() const { return Items.empty(); }
    TZMTMess& operator[](int i) { return Items[static_cast<std::size_t>(i)]; }
    const TZMTMess& operator[](int i) const { return Items[static_cast<std::size_t>(i)]; }
    void Clear() { Items.clear(); }
};

// Appends a new message with every field zero, false or empty. The reference is
// valid until the list grows again.
TZMTMess& NewMessage(TZMTMessList& list);
// Removes the message at the index; later messages move down by one.
void DeleteMessage(TZMTMessList& list, int index);
// Appends a copy of every message of source in order; with markDiffers each copy
// gets Differs = true.
void AppendCopies(TZMTMessList& target, const TZMTMessList& source, bool markDiffers);

// One analysed contact: one source file and its matching destination file.
struct TZMTHead {
    std::string UIN;
    std::string Nick; // UTF-8
    int DiffCount = 0;
    int DataOffset = 0;
    QString SrcFile; // file name without folder
    QString DstFile; // empty when there is none
    bool Marked = false;
    bool Valid = false;
    std::uint8_t Scrambled = 0;
    std::uint8_t Version = 0;
    int SrcCount = 0;
    bool Checked = false;
    // An analysis both ways: whether the destination lacks messages of the source
    // (DiffCount of them), and whether the source lacks messages of the destination
    // (BackDiffCount). An entry of a contact only the destination has has no SrcFile.
    bool HasDiff = false;
    bool BackHasDiff = false;
    int BackDiffCount = 0;
    // Its source file was deleted (Delete source files): the entry stays for the indexes
    // of the others but is listed, checked and searched no more.
    bool Removed = false;
};

class TZMTHeadList {
public:
    std::vector<TZMTHead> Items;

    int Count() const { return static_cast<int>(Items.size()); }
    bool IsEmpty() const { return Items.empty(); }
    TZMTHead& operator[](int i) { return Items[static_cast<std::size_t>(i)]; }
    const TZMTHead& operator[](int i) const { return Items[static_cast<std::size_t>(i)]; }
    void Clear() { Items.clear(); }
};

// Appends a new contact entry with every field zero, false or empty.
TZMTHead& NewEntry(TZMTHeadList& list);

// True when the extension, ignoring case, is ".zmt" or ".ahf".
bool IsBinaryPath(const QString& path);
// IsBinaryPath of the list's file, or defaultVersion != 0 for a list without one.
bool IsBinaryList(const TZMTMessList& list, int defaultVersion);

} // namespace vimosync
