#pragma once

// What the parts of the main window share: the page numbers of the comparison views
// and the guard of a long command.

#include "ui/Main.h"

namespace vimosync {

constexpr int kPageSource = 0;
constexpr int kPageDestination = 1;
constexpr int kPageMerged = 2;

// While a long command runs, the window handles events; other commands refuse then.
class TCommandScope {
public:
    explicit TCommandScope(TForm1& form) : form_(form) { ++form_.commandDepth_; }
    ~TCommandScope() { --form_.commandDepth_; }
    TCommandScope(const TCommandScope&) = delete;
    TCommandScope& operator=(const TCommandScope&) = delete;

private:
    TForm1& form_;
};

} // namespace vimosync
