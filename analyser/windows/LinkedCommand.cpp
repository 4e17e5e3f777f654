#include "LinkedCommand.h"

#include "BanHandle.h"
#include "Console.h"
#include "LinkedNamesView.h"

#include <cstdio>
#include <string>
#include <string_view>

namespace {

int fail(const char* text) {
    std::fprintf(stderr, "Mirewatch: %s\n", text);
    return 2;
}

} // namespace

std::optional<int> runLinkedCommand(int argc, char* argv[]) {
    bool linked = false, byIp = false, csv = false;
    std::string path;
    bool havePath = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--linked") {
            linked = true;
            if (i + 1 < argc) {
                path = argv[++i];
                havePath = true;
            }
        } else if (arg == "--by-ip") {
            byIp = true;
        } else if (arg == "--csv") {
            csv = true;
        }
    }
    if (!linked) {
        return std::nullopt;
    }
    attachParentConsole();
    if (!havePath || path.empty()) {
        return fail("--linked needs the ban file: Mirewatch --linked FILE [--by-ip] [--csv]");
    }

    // The same file the program would read, though not the one in Config.ini.
    BanHandle::SetBanFilePath(path);
    const BanHandle::LoadOutcome outcome = BanHandle::LoadBanFile();
    if (outcome.kind == BanHandle::LoadOutcome::Kind::CannotOpen ||
        outcome.kind == BanHandle::LoadOutcome::Kind::NoFileChosen) {
        std::fprintf(stderr, "Mirewatch: cannot read the ban file %s: %s\n", path.c_str(), outcome.reason.c_str());
        return 1;
    }
    if (!outcome.ok()) {
        std::fprintf(stderr, "Mirewatch: %s: %s\n", path.c_str(), outcome.reason.c_str());
    }

    const LinkedNamesView view = makeLinkedNamesView({byIp, BanHandle::DefaultHubThreshold});
    QString text;
    if (csv) {
        std::vector<const GroupView*> groups;
        for (const GroupView& group : view.groups) {
            groups.push_back(&group);
        }
        text = linkedNamesCsv(groups);
    } else {
        QStringList blocks;
        for (const GroupView& group : view.groups) {
            blocks.append(group.text());
        }
        text = blocks.isEmpty() ? QString() : blocks.join(u'\n') + u'\n';
    }
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout);
    // Why groups stayed apart, beside the output rather than in it.
    std::fprintf(stderr, "%s\n", view.counts().toUtf8().constData());
    if (!view.hubs.isEmpty()) {
        std::fprintf(stderr, "%s\n", view.hubLine().toUtf8().constData());
    }
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : fail("the output could not be written");
}
