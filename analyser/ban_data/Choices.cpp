// The two choices the windows make for the core: which file to load and how to search.
#include "BanHandle.h"
#include "Declares.h"

namespace BanHandle {

namespace {
std::function<void()>& PathListener() {
    static std::function<void()> listener;
    return listener;
}
} // namespace

void SetBanFilePath(std::string path) {
    Declares::BanFilePath = std::move(path);
    if (PathListener()) {
        PathListener()();
    }
}

void SetBanFilePathListener(std::function<void()> listener) {
    PathListener() = std::move(listener);
}

void SetSearchMode(Declares::SearchModeKind mode) {
    Declares::SearchMode = mode;
}

} // namespace BanHandle
