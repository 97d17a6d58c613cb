#include "support/IniFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <limits>

namespace vimosync {

namespace {

bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Line breaks inside a value would end the line and turn the rest into a line of its
// own, so they are written as spaces.
QString oneLine(const QString& value) {
    QString v = value;
    v.replace(QLatin1Char('\r'), QLatin1Char(' '));
    v.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return v;
}

} // namespace

bool IniFile::load(const QString& path) {
    sections_.clear();
    QFile f(path);
    if (!f.exists()) {
        return true;
    }
    if (!f.open(QIODevice::ReadOnly)) {
        return false;
    }
    parse(f.readAll());
    return true;
}

void IniFile::parse(const QByteArray& bytes) {
    sections_.clear();
    QString text = QString::fromUtf8(bytes);
    if (text.startsWith(QChar(0xFEFF))) {
        text.remove(0, 1);
    }
    sections_.push_back(Section{}); // lines before the first header
    qsizetype pos = 0;
    const qsizetype n = text.size();
    while (pos < n) {
        qsizetype end = pos;
        while (end < n && text[end] != QLatin1Char('\n') && text[end] != QLatin1Char('\r')) {
            ++end;
        }
        const QString raw = text.mid(pos, end - pos);
        if (end < n && text[end] == QLatin1Char('\r') && end + 1 < n &&
            text[end + 1] == QLatin1Char('\n')) {
            ++end;
        }
        pos = end + 1;

        const QString t = raw.trimmed();
        if (t.startsWith(QLatin1Char('['))) {
            qsizetype close = t.indexOf(QLatin1Char(']'));
            if (close < 0) {
                close = t.size();
            }
            Section s;
            s.name = t.mid(1, close - 1).trimmed();
            s.hasHeader = true;
            sections_.push_back(std::move(s));
            continue;
        }
        Line line;
        line.raw = raw;
        const qsizetype eq = t.indexOf(QLatin1Char('='));
        if (eq > 0 && !t.startsWith(QLatin1Char(';'))) {
            line.key = t.left(eq).trimmed();
            line.value = t.mid(eq + 1).trimmed();
            line.isKey = !line.key.isEmpty();
        }
        sections_.back().lines.push_back(std::move(line));
    }
}

IniFile::Section* IniFile::findSection(const QString& name) {
    for (Section& s : sections_) {
        if (s.hasHeader && sameName(s.name, name)) {
            return &s;
        }
    }
    return nullptr;
}

const IniFile::Section* IniFile::findSection(const QString& name) const {
    for (const Section& s : sections_) {
        if (s.hasHeader && sameName(s.name, name)) {
            return &s;
        }
    }
    return nullptr;
}

const IniFile::Line* IniFile::findKey(const Section& s, const QString& key) {
    for (const Line& l : s.lines) {
        if (l.isKey && sameName(l.key, key)) {
            return &l;
        }
    }
    return nullptr;
}

std::optional<QString> IniFile::value(const QString& section, const QString& key) const {
    const Section* s = findSection(section);
    if (!s) {
        return std::nullopt;
    }
    const Line* l = findKey(*s, key);
    if (!l) {
        return std::nullopt;
    }
    return l->value.left(kMaxValueLength);
}

bool IniFile::contains(const QString& section, const QString& key) const {
    return value(section, key).has_value();
}

QString IniFile::readString(const QString& section, const QString& key, const QString& def) const {
    return value(section, key).value_or(def);
}

std::optional<int> IniFile::parseInteger(const QString& text) {
    const QString t = text.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == QLatin1Char('-') || t[i] == QLatin1Char('+'))) {
        negative = t[i] == QLatin1Char('-');
        ++i;
    }
    const QString body = t.mid(i);
    const bool hex = body.size() > 2 && body[0] == QLatin1Char('0') &&
                     (body[1] == QLatin1Char('x') || body[1] == QLatin1Char('X'));
    const QString digits = hex ? body.mid(2) : body;
    if (digits.isEmpty()) {
        return std::nullopt;
    }
    const int base = hex ? 16 : 10;
    // Hexadecimal values cover the whole 32 bits (0xFFFFFFFF is -1); decimal ones
    // must fit in a signed 32-bit integer.
    const qint64 limit =
        hex ? 0xFFFFFFFFLL
            : static_cast<qint64>(std::numeric_limits<std::int32_t>::max()) + (negative ? 1 : 0);
    qint64 v = 0;
    for (QChar c : digits) {
        const int d = c.isDigit() && c.unicode() < 128 ? c.unicode() - '0'
                      : hex && c.toLower() >= QLatin1Char('a') && c.toLower() <= QLatin1Char('f')
                          ? c.toLower().unicode() - 'a' + 10
                          : -1;
        if (d < 0 || d >= base) {
            return std::nullopt;
        }
        v = v * base + d;
        if (v > limit) {
            return std::nullopt;
        }
    }
    if (negative) {
        v = -v;
    }
    return static_cast<int>(static_cast<std::int32_t>(static_cast<std::uint32_t>(v)));
}

int IniFile::readInteger(const QString& section, const QString& key, int def) const {
    const std::optional<QString> v = value(section, key);
    if (!v) {
        return def;
    }
    return parseInteger(*v).value_or(def);
}

bool IniFile::readBool(const QString& section, const QString& key, bool def) const {
    return readInteger(section, key, def ? 1 : 0) != 0;
}

QChar IniFile::readChar(const QString& section, const QString& key, QChar def) const {
    const std::optional<QString> v = value(section, key);
    if (!v || v->isEmpty()) {
        return def;
    }
    return v->at(0);
}

void IniFile::writeString(const QString& section, const QString& key, const QString& value) {
    const QString v = oneLine(value);
    Section* s = findSection(section);
    if (!s) {
        if (sections_.empty()) {
            sections_.push_back(Section{});
        }
        Section created;
        created.name = section;
        created.hasHeader = true;
        sections_.push_back(std::move(created));
        s = &sections_.back();
    }
    for (Line& l : s->lines) {
        if (l.isKey && sameName(l.key, key)) {
            l.value = v;
            l.raw = l.key + QLatin1Char('=') + v;
            return;
        }
    }
    // After the last non-blank line, so that blank lines keep separating sections.
    auto at = s->lines.end();
    while (at != s->lines.begin() && (at - 1)->raw.trimmed().isEmpty()) {
        --at;
    }
    Line l;
    l.key = key;
    l.value = v;
    l.raw = key + QLatin1Char('=') + v;
    l.isKey = true;
    s->lines.insert(at, std::move(l));
}

void IniFile::writeInteger(const QString& section, const QString& key, int value) {
    writeString(section, key, QString::number(value));
}

void IniFile::writeBool(const QString& section, const QString& key, bool value) {
    writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void IniFile::writeChar(const QString& section, const QString& key, QChar value) {
    writeString(section, key, QString(value));
}

void IniFile::eraseSection(const QString& section) {
    Section* first = findSection(section);
    if (!first) {
        return;
    }
    first->lines.clear();
    first->erased = true;
    // Later sections of the same name (never read) go as a whole; they all lie
    // behind the first, so erasing them leaves it in place.
    const auto firstIndex = first - sections_.data();
    for (auto it = sections_.begin() + firstIndex + 1; it != sections_.end();) {
        if (it->hasHeader && sameName(it->name, section)) {
            it = sections_.erase(it);
        } else {
            ++it;
        }
    }
}

QStringList IniFile::sectionNames() const {
    QStringList names;
    for (const Section& s : sections_) {
        if (s.hasHeader && !(s.erased && s.lines.empty())) {
            names << s.name;
        }
    }
    return names;
}

QStringList IniFile::keys(const QString& section) const {
    QStringList out;
    if (const Section* s = findSection(section)) {
        for (const Line& l : s->lines) {
            if (l.isKey) {
                out << l.key;
            }
        }
    }
    return out;
}

QByteArray IniFile::toBytes() const {
    QString out;
    for (const Section& s : sections_) {
        if (s.erased && s.lines.empty()) {
            continue;
        }
        if (s.hasHeader) {
            out += QLatin1Char('[') + s.name + QStringLiteral("]\n");
        }
        for (const Line& l : s.lines) {
            out += l.raw + QLatin1Char('\n');
        }
    }
    return out.toUtf8();
}

bool IniFile::save(const QString& path) const {
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly)) {
        return false;
    }
    const QByteArray bytes = toBytes();
    if (f.write(bytes) != bytes.size()) {
        f.cancelWriting();
        return false;
    }
    return f.commit();
}

} // namespace vimosync
