#include "merge/MergedLines.h"

#include "history/DateTimeFormat.h"
#include "support/LangText.h"

namespace vimosync {

namespace {

// Texts are UTF-8 bytes; bytes that are not valid UTF-8 show as the replacement character.
QString Decoded(const HText& t) {
    return QString::fromUtf8(t.data(), static_cast<qsizetype>(t.size()));
}

} // namespace

QString DirectionMarker(const TZMTMess& m) {
    return QString::fromLatin1(m.Outgoing ? LangText::MarkerOutgoing : LangText::MarkerIncoming);
}

QString MergedItemText(const TZMTMess& m, int position, bool showNumbers, const QString& dtFormat) {
    QString line;
    if (m.Differs) {
        line += QLatin1String(LangText::DiffersMark);
    }
    if (showNumbers) {
        line += QString::number(position);
        line += QLatin1Char(' ');
    }
    line += DirectionMarker(m);
    line += QLatin1String("  ");
    line += FormatDateTime(dtFormat, m.Time);
    line += QLatin1Char(' ');
    line += Decoded(m.Text);
    return line;
}

QString HistoryEntryText(const TZMTMess& m, const QString& dtFormat) {
    QString block = DirectionMarker(m);
    block += QLatin1String("  ");
    block += FormatDateTime(dtFormat, m.Time);
    block += QLatin1String("\r\n ");
    block += Decoded(m.Text);
    block += QLatin1String("\r\n");
    return block;
}

} // namespace vimosync
