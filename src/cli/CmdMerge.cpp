#include "cli/Cli.h"
#include "history/History.h"
#include "history/TimeStamp.h"
#include "merge/Merge.h"
#include "merge/MergedLines.h"
#include "support/LangText.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace vimosync::cli {

namespace {

QString Utf8(const HText& t) {
    return QString::fromUtf8(t.data(), static_cast<qsizetype>(t.size()));
}

QJsonObject MessageJson(const TZMTMess& m) {
    QJsonObject o;
    o.insert(QStringLiteral("time"), m.Time);
    o.insert(QStringLiteral("local"),
             ToDateTime(m.Time).toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss")));
    o.insert(QStringLiteral("stamp"), m.Stamp);
    o.insert(QStringLiteral("outgoing"), m.Outgoing);
    o.insert(QStringLiteral("nick"), Utf8(m.Nick));
    o.insert(QStringLiteral("text"), Utf8(m.Text));
    o.insert(QStringLiteral("differs"), m.Differs);
    return o;
}

int UsageError(CliIo& io, const QString& message) {
    if (!message.isEmpty()) {
        io.err << "vimosync-cli: merge: " << message << "\n";
    }
    io.err << Tr(LangText::CliMergeUsage) << "\n";
    return kExitUsage;
}

} // namespace

int CmdMerge(const QStringList& args, CliIo& io, const CliOptions& options) {
    TMergeOptions merge = options.Workflow.Merge;
    const TReadOptions& read = options.Workflow.Read;
    bool json = false;
    QStringList files;
    bool optionsDone = false;
    for (qsizetype k = 0; k < args.size(); ++k) {
        const QString& a = args[k];
        if (optionsDone || !a.startsWith(QLatin1Char('-')) || a == QLatin1String("-")) {
            files.append(a);
        } else if (a == QLatin1String("--")) {
            optionsDone = true;
        } else if (a == QLatin1String("--json")) {
            json = true;
        } else if (a == QLatin1String("--ignore-spaces")) {
            merge.MergeIgnoreSpaces = true;
        } else if (a == QLatin1String("--mode")) {
            bool ok = false;
            const int mode = k + 1 < args.size() ? args[k + 1].toInt(&ok) : -1;
            if (!ok || mode < 0 || mode > 255) {
                return UsageError(io, Tr(LangText::CliMergeBadMode));
            }
            merge.MessMergeMode = static_cast<std::uint8_t>(mode);
            ++k;
        } else {
            return UsageError(io, Format(LangText::CliUnknownOption, a));
        }
    }
    if (files.size() != 2) {
        return UsageError(io, QString());
    }

    // The source must be there; a missing destination is a contact that the destination
    // does not have yet, as in the window.
    TZMTMessList source;
    source.FileName = QFileInfo(files[0]).absoluteFilePath();
    if (!QFileInfo(source.FileName).isFile()) {
        io.err << "vimosync-cli: " << Format(LangText::CliFileNotFound, files[0]) << "\n";
        return kExitError;
    }
    LoadHistory(source, LoadPlain, false, read);
    if (!source.Valid) {
        io.err << "vimosync-cli: " << Format(LangText::CliInvalidSource, files[0]) << "\n";
        return kExitError;
    }
    TZMTMessList destination;
    destination.FileName = QFileInfo(files[1]).absoluteFilePath();
    LoadHistory(destination, LoadContactNick, false, read);
    if (!destination.Valid && QFileInfo::exists(destination.FileName)) {
        io.err << "vimosync-cli: " << Format(LangText::CliDamagedDestination, files[1]) << "\n";
    }

    TZMTMessList result;
    MergeHistories(source, destination, result, merge, read);

    if (json) {
        QJsonArray messages;
        for (const TZMTMess& m : result.Items) {
            messages.append(MessageJson(m));
        }
        QJsonObject o;
        o.insert(QStringLiteral("count"), result.Count());
        o.insert(QStringLiteral("diffCount"), result.DiffCount);
        o.insert(QStringLiteral("hasDiff"), result.HasDiff);
        o.insert(QStringLiteral("messages"), messages);
        io.out << QJsonDocument(o).toJson(QJsonDocument::Indented);
        return kExitOk;
    }
    for (int k = 0; k < result.Count(); ++k) {
        io.out << MergedItemText(result[k], k + 1, options.ShowMessNumbers,
                                 read.Text.DTFormatString)
               << "\n";
    }
    io.out << Format(LangText::CliMergeCounts, result.Count(), result.DiffCount) << "\n";
    return kExitOk;
}

} // namespace vimosync::cli
