#include "cli/WorkflowCli.h"

#include "support/LangText.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>

namespace vimosync::cli {

namespace {

QString Q(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QString YesNo(bool b) {
    return Tr(b ? LangText::CliDumpYes : LangText::CliDumpNo);
}

} // namespace

QString DirectoryArgument(const QString& arg) {
    return StripTrailingSeparator(QDir::cleanPath(QFileInfo(arg).absoluteFilePath()));
}

QJsonObject AnalysisJson(const TWorkflow& wf) {
    QJsonObject o;
    o[QStringLiteral("srcVaryon")] = wf.State.SrcVaryon;
    o[QStringLiteral("dstVaryon")] = wf.State.DstVaryon;
    o[QStringLiteral("srcArchiveExists")] = wf.State.SrcArchiveExists;
    o[QStringLiteral("dstArchiveExists")] = wf.State.DstArchiveExists;
    o[QStringLiteral("defaultFileVersion")] = wf.DefaultFileVersion;
    o[QStringLiteral("ownNick")] = Q(wf.OwnNick);
    o[QStringLiteral("analysed")] = wf.State.Analysed;
    if (wf.State.BothWays) {
        o[QStringLiteral("bothWays")] = true;
        o[QStringLiteral("backFileVersion")] = wf.BackFileVersion;
    }
    QJsonArray contacts;
    for (const TZMTHead& e : wf.HeadList.Items) {
        QJsonObject c;
        c[QStringLiteral("uin")] = Q(e.UIN);
        c[QStringLiteral("nick")] = Q(e.Nick);
        c[QStringLiteral("srcFile")] = e.SrcFile;
        c[QStringLiteral("dstFile")] = e.DstFile;
        c[QStringLiteral("diffCount")] = e.DiffCount;
        c[QStringLiteral("srcCount")] = e.SrcCount;
        c[QStringLiteral("valid")] = e.Valid;
        c[QStringLiteral("marked")] = e.Marked;
        c[QStringLiteral("checked")] = e.Checked;
        c[QStringLiteral("version")] = e.Version;
        if (wf.State.BothWays) {
            c[QStringLiteral("backDiffCount")] = e.BackDiffCount;
        }
        contacts.append(c);
    }
    o[QStringLiteral("contacts")] = contacts;
    return o;
}

void PrintAnalysis(const TWorkflow& wf, QTextStream& out) {
    const TWorkflowState& s = wf.State;
    out << Format(LangText::CliSourceLine, s.SrcPath, YesNo(s.SrcVaryon), YesNo(s.SrcArchiveExists))
        << "\n";
    out << Format(LangText::CliDestinationLine, s.DstPath, YesNo(s.DstVaryon),
                  YesNo(s.DstArchiveExists))
        << "\n";
    const int v = wf.DefaultFileVersion;
    out << Format(LangText::CliDefaultVersionLine, v, FormatLabels[static_cast<std::size_t>(v)])
        << "\n";
    out << Format(LangText::CliOwnNickLine, wf.OwnNick) << "\n";
    const TControlState c = wf.Controls();
    out << Format(LangText::CliContactsLine, wf.HeadList.Count()) << " " << c.ListHint << "\n";
    for (const TZMTHead& e : wf.HeadList.Items) {
        if (!e.Valid) {
            out << "  !   " << e.SrcFile << "  " << Tr(LangText::CliUnreadable) << "\n";
            continue;
        }
        out << (e.Checked ? "  [x] " : "  [ ] ") << ContactLineText(e, s.BothWays) << "  "
            << (e.SrcFile.isEmpty() ? QStringLiteral("-") : e.SrcFile)
            << (s.BothWays ? " <-> " : " -> ")
            << (e.DstFile.isEmpty() ? QStringLiteral("-") : e.DstFile) << "\n";
    }
}

} // namespace vimosync::cli
