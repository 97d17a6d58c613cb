#pragma once

// A user interface that answers nothing and shows nothing, for benchmarks.

#include "workflow/UserInterface.h"

namespace vimosync {

class TQuietUi : public IUserInterface {
public:
    void information(const QString&) override {}
    void warning(const QString&) override {}
    bool confirm(const QString&) override { return true; }
    std::optional<int> askFileVersion(int current, bool) override { return current; }
    std::optional<QString> askNick(const QString&, const QString&,
                                   const QString& current) override {
        return current;
    }
    void beep() override {}
    void setBusyCursor(bool) override {}
    void showProgress(const QString&) override {}
};

} // namespace vimosync
