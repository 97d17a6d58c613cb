#include "history/Model.h"

#include "support/HeapReuse.h"

#include <QFileInfo>

namespace vimosync {

TZMTMessList::~TZMTMessList() {
    KeepLarge(Items);
}

const std::array<const char*, kFormatVersionCount> FormatLabels = {
    "TXT (Oskel,plain)", "ZMTv1 (PDA)", "ZMTv2 (Varyon,encrypted)", "ZMTv3 (Varyon,encrypted)"};
const std::array<const char*, kFormatVersionCount> SaveMasks = {"%s.txt", "1_%s.zmt",
                                                                "Varyon_%s.zmt", "Varyon_%s.zmt"};
const std::array<const char*, kFormatVersionCount> SearchMasks = {"%s.txt", "varyon*_%s.zmt",
                                                                  "*_%s.zmt", "*%s.zmt"};

QString FormatMask(const char* mask, const QString& uin) {
    QString s = QString::fromLatin1(mask);
    s.replace(QLatin1String("%s"), uin);
    return s;
}

TZMTMess& NewMessage(TZMTMessList& list) {
    return list.Items.emplace_back();
}

void DeleteMessage(TZMTMessList& list, int index) {
    list.Items.erase(list.Items.begin() + index);
}

void AppendCopies(TZMTMessList& target, const TZMTMessList& source, bool markDiffers) {
    if (&target == &source) {
        const TZMTMessList copy = source;
        AppendCopies(target, copy, markDiffers);
        return;
    }
    target.Items.reserve(target.Items.size() + source.Items.size());
    for (const TZMTMess& m : source.Items) {
        TZMTMess& c = target.Items.emplace_back(m);
        if (markDiffers) {
            c.Differs = true;
        }
    }
}

TZMTHead& NewEntry(TZMTHeadList& list) {
    return list.Items.emplace_back();
}

bool IsBinaryPath(const QString& path) {
    const QString ext = QFileInfo(path).suffix();
    return ext.compare(QLatin1String("zmt"), Qt::CaseInsensitive) == 0 ||
           ext.compare(QLatin1String("ahf"), Qt::CaseInsensitive) == 0;
}

bool IsBinaryList(const TZMTMessList& list, int defaultVersion) {
    if (!list.FileName.isEmpty()) {
        return IsBinaryPath(list.FileName);
    }
    return defaultVersion != 0;
}

} // namespace vimosync
