#pragma once

// A small INI reader and writer that keeps the file as it is: plain "key=value" lines
// without quoting or escaping, section and key names matched without regard to case,
// comments, blank lines, unknown sections and unknown keys preserved on save. A key
// written anew goes to the end of its section; a section written anew goes to the end
// of the file.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace vimosync {

class IniFile {
public:
    // Longest value returned by the readers, in characters; the rest is cut off.
    static constexpr int kMaxValueLength = 2047;

    IniFile() = default;

    // Reads the file. A missing file gives an empty document and true; a file that
    // exists but cannot be read gives false and leaves the document empty.
    bool load(const QString& path);
    // Parses a whole file's bytes (UTF-8; lines end in LF, CR LF or CR).
    void parse(const QByteArray& bytes);

    // The value of the key, trimmed and cut to kMaxValueLength, or nothing when the
    // section or the key is missing.
    std::optional<QString> value(const QString& section, const QString& key) const;
    bool contains(const QString& section, const QString& key) const;

    QString readString(const QString& section, const QString& key, const QString& def) const;
    // Decimal, or hexadecimal after "0x"/"0X" (with more than the two prefix characters).
    // A value that is not such an integer, or does not fit in 32 bits, gives def.
    int readInteger(const QString& section, const QString& key, int def) const;
    // Read as an integer: non-zero is true; a value that is not an integer gives def.
    bool readBool(const QString& section, const QString& key, bool def) const;
    // The first character of the value; a missing or empty value gives def.
    QChar readChar(const QString& section, const QString& key, QChar def) const;

    void writeString(const QString& section, const QString& key, const QString& value);
    void writeInteger(const QString& section, const QString& key, int value);
    void writeBool(const QString& section, const QString& key, bool value);
    void writeChar(const QString& section, const QString& key, QChar value);

    // Removes every line of the section; the section keeps its place in the file but
    // is not written again unless a key is written into it.
    void eraseSection(const QString& section);

    QStringList sectionNames() const;
    // The key names of a section in file order.
    QStringList keys(const QString& section) const;

    // The document as file content, lines ending in LF.
    QByteArray toBytes() const;
    // Writes the document atomically (a temporary file renamed over the old one);
    // false when that failed, the old file then being unchanged.
    bool save(const QString& path) const;

    // Parses an integer value by the rules of readInteger.
    static std::optional<int> parseInteger(const QString& text);

private:
    struct Line {
        QString raw;        // the line as it is written
        QString key;        // empty for lines that are not key=value
        QString value;      // the value of a key line, trimmed
        bool isKey = false; // key=value line
    };
    struct Section {
        QString name; // as written in the header; empty for the lines before any header
        bool hasHeader = false;
        bool erased = false; // emptied by eraseSection: not written while still empty
        std::vector<Line> lines;
    };

    Section* findSection(const QString& name);
    const Section* findSection(const QString& name) const;
    static const Line* findKey(const Section& s, const QString& key);

    std::vector<Section> sections_;
};

} // namespace vimosync
