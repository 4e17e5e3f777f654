// The two choices the windows make for the core: which file to load and how to search.
#include "BanHandle.h"
#include "Declares.h"

namespace BanHandle {

void SetBanFilePath(std::string path) {
    Declares::BanFilePath = std::move(path);
}

void SetSearchMode(Declares::SearchModeKind mode) {
    Declares::SearchMode = mode;
}

} // namespace BanHandle
