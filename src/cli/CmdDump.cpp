#include "cli/Cli.h"

#include "history/History.h"
#include "history/TimeStamp.h"
#include "support/LangText.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace vimosync::cli {

namespace {

QString fromUtf8(std::string_view s) {
    // Bytes that are not UTF-8 show as the replacement character.
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QString localTime(double t) {
    return ToDateTime(t).toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
}

// One line per message: line breaks and tabs written as escapes.
QString oneLine(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'\\':
            out += QStringLiteral("\\\\");
            break;
        case u'\r':
            out += QStringLiteral("\\r");
            break;
        case u'\n':
            out += QStringLiteral("\\n");
            break;
        case u'\t':
            out += QStringLiteral("\\t");
            break;
        default:
            out += c;
        }
    }
    return out;
}

QJsonObject toJson(const TZMTMessList& list, bool archives) {
    QJsonObject o;
    o[QStringLiteral("file")] = list.FileName;
    o[QStringLiteral("uin")] = fromUtf8(list.UIN);
    o[QStringLiteral("contactNick")] = fromUtf8(list.ContactNick);
    o[QStringLiteral("version")] = list.Version;
    o[QStringLiteral("scrambled")] = list.Scrambled;
    o[QStringLiteral("valid")] = list.Valid;
    o[QStringLiteral("count")] = list.Count();
    if (archives) {
        o[QStringLiteral("archivesComplete")] = list.ArchivesComplete;
    }
    QJsonArray messages;
    for (const TZMTMess& m : list.Items) {
        QJsonObject j;
        j[QStringLiteral("time")] = m.Time;
        j[QStringLiteral("local")] = localTime(m.Time);
        j[QStringLiteral("stamp")] = m.Stamp;
        j[QStringLiteral("outgoing")] = m.Outgoing;
        j[QStringLiteral("nick")] = fromUtf8(m.Nick.view());
        j[QStringLiteral("text")] = fromUtf8(m.Text.view());
        messages.append(j);
    }
    o[QStringLiteral("messages")] = messages;
    return o;
}

void writeText(QTextStream& out, const TZMTMessList& list, bool archives) {
    const int v = list.Version;
    const char* label = v >= 0 && v < kFormatVersionCount ? FormatLabels[v] : "";
    out << Format(LangText::CliDumpFile, list.FileName) << '\n'
        << Format(LangText::CliDumpUin, list.UIN) << '\n'
        << Format(LangText::CliDumpNick, list.ContactNick) << '\n'
        << Format(LangText::CliDumpVersion, v, label) << '\n'
        << Format(LangText::CliDumpScrambled, int(list.Scrambled)) << '\n'
        << Format(LangText::CliDumpValid,
                  Tr(list.Valid ? LangText::CliDumpYes : LangText::CliDumpNo))
        << '\n';
    if (archives) {
        out << Format(LangText::CliDumpArchives,
                      Tr(list.ArchivesComplete ? LangText::CliDumpAllArchives
                                               : LangText::CliDumpSomeArchives))
            << '\n';
    }
    out << Format(LangText::CliDumpCount, list.Count()) << '\n';
    for (int i = 0; i < list.Count(); ++i) {
        const TZMTMess& m = list[i];
        out << Format(LangText::CliDumpLine, i + 1, localTime(m.Time),
                      Tr(m.Outgoing ? LangText::CliDumpOutgoing : LangText::CliDumpIncoming),
                      fromUtf8(m.Nick.view()), oneLine(fromUtf8(m.Text.view())))
            << '\n';
    }
}

} // namespace

int CmdDump(const QStringList& args, CliIo& io, const CliOptions& options) {
    const TReadOptions& read = options.Workflow.Read;
    bool json = false;
    bool archives = false;
    QString file;
    for (const QString& a : args) {
        if (a == QLatin1String("--json")) {
            json = true;
        } else if (a == QLatin1String("--archives")) {
            archives = true;
        } else if (a.startsWith(QLatin1Char('-')) && a.size() > 1) {
            io.err << Format(LangText::CliDumpBadOption, a) << '\n'
                   << Tr(LangText::CliDumpUsage) << '\n';
            return kExitUsage;
        } else if (file.isEmpty()) {
            file = a;
        } else {
            io.err << Tr(LangText::CliDumpUsage) << '\n';
            return kExitUsage;
        }
    }
    if (file.isEmpty()) {
        io.err << Tr(LangText::CliDumpUsage) << '\n';
        return kExitUsage;
    }
    const QFileInfo fi(file);
    if (!fi.exists()) {
        io.err << "vimosync-cli: " << Format(LangText::CliDumpNotFound, file) << '\n';
        return kExitError;
    }
    TZMTMessList list;
    list.FileName = fi.absoluteFilePath();
    // Incoming messages of a binary file carry the nick of its header, as in the views.
    if (IsBinaryPath(list.FileName)) {
        TZMTHead head;
        ReadEntryHeader(head, list.FileName, read);
        list.ContactNick = head.Nick;
    }
    LoadHistory(list, LoadContactNick, archives, read);
    // A plain-text history is named after its UIN, as its entry in the analysis.
    if (!IsBinaryPath(list.FileName)) {
        list.UIN = fi.completeBaseName().toStdString();
    }
    if (json) {
        io.out << QString::fromUtf8(
            QJsonDocument(toJson(list, archives)).toJson(QJsonDocument::Indented));
    } else {
        writeText(io.out, list, archives);
    }
    return kExitOk;
}

} // namespace vimosync::cli
