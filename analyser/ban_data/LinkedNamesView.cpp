#include "LinkedNamesView.h"

#include "Declares.h"
#include "RowExport.h"
#include "Text1252.h"

namespace {

using BanHandle::LinkKind;

QString kindName(LinkKind kind) {
    return kind == LinkKind::Mid ? QStringLiteral("machine id") : QStringLiteral("IP");
}

QString keyText(LinkKind kind, int row) {
    return Text1252::decode(std::string(BanHandle::KeyText(kind, row)));
}

QString statusText(const std::string& mark) {
    return mark == "#"   ? QStringLiteral("Still valid")
           : mark == "^" ? QStringLiteral("Expired")
                         : QStringLiteral("Unknown Error");
}

BanView banView(int row) {
    const Declares::BanRecord& r = Declares::BanRecordTable[static_cast<std::size_t>(row)];
    BanView view;
    for (const std::string* field : {&r.AccessLevel, &r.StatusMark, &r.Id, &r.Days, &r.Date, &r.By, &r.Ip, &r.Name}) {
        view.fields.append(field == &r.StatusMark ? statusText(r.StatusMark) : Text1252::decode(*field));
    }
    // The padding of the moderator and the IP is the line's layout, not the text.
    view.fields[5] = view.fields[5].trimmed();
    view.fields[6] = view.fields[6].trimmed();
    view.mid = keyText(LinkKind::Mid, row);
    view.stillValid = r.StatusMark == "#";
    return view;
}

QString dates(const BanHandle::LinkedName& name) {
    const QString first = Text1252::decode(Declares::BanRecordTable[static_cast<std::size_t>(name.firstRow)].Date);
    const QString last = Text1252::decode(Declares::BanRecordTable[static_cast<std::size_t>(name.lastRow)].Date);
    return first == last ? first : QStringLiteral("%1 to %2").arg(first, last);
}

QString counted(qsizetype count, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(count).arg(QString::fromLatin1(count == 1 ? one : many));
}

GroupView groupView(const BanHandle::LinkedNames& found, const BanHandle::LinkedGroup& group) {
    GroupView view;
    view.stillValid = group.stillValid;
    QStringList names;
    for (const BanHandle::LinkedName& name : found.NamesOf(group)) {
        NameView nameView;
        nameView.name = Text1252::decode(Declares::BanRecordTable[static_cast<std::size_t>(name.row)].Name);
        nameView.stillValid = name.stillValid;
        nameView.label = QStringLiteral("%1 - %2, %3%4")
                             .arg(nameView.name, counted(name.bans.count, "ban", "bans"), dates(name),
                                  name.stillValid ? QStringLiteral(", STILL VALID") : QString());
        for (int row : found.BansOf(name)) {
            nameView.bans.push_back(banView(row));
        }
        names.append(nameView.name);
        view.search.append(nameView.name);
        view.names.push_back(std::move(nameView));
    }
    // The mark first, so a cut label still shows it.
    view.label = QStringLiteral("%1%2: %3")
                     .arg(group.stillValid ? QStringLiteral("STILL BANNED - ") : QString(),
                          counted(names.size(), "name", "names"), names.join(QStringLiteral(", ")));
    for (const BanHandle::LinkedKey& key : found.KeysOf(group)) {
        QStringList carriers;
        for (int n : found.NamesOf(key)) {
            carriers.append(names[n]);
        }
        const QString text = keyText(key.kind, key.row);
        view.search.append(text);
        QString kind = kindName(key.kind);
        kind[0] = kind[0].toUpper();
        view.keys.append(QStringLiteral("%1 %2: %3").arg(kind, text, carriers.join(QStringLiteral(", "))));
    }
    for (const BanHandle::Link& link : found.LinksOf(group)) {
        const BanHandle::LinkedKey& key = found.KeysOf(group)[static_cast<std::size_t>(link.key)];
        view.links.append(
            QStringLiteral("%1 and %2 share %3 %4")
                .arg(names[link.first], names[link.second], kindName(key.kind), keyText(key.kind, key.row)));
    }
    return view;
}

} // namespace

QString GroupView::text() const {
    QStringList lines{label};
    for (const NameView& name : names) {
        lines.append(QStringLiteral("  Name: ") + name.label);
    }
    for (const QString& key : keys) {
        lines.append(QStringLiteral("  ") + key);
    }
    for (const QString& link : links) {
        lines.append(QStringLiteral("  Link: ") + link);
    }
    for (const NameView& name : names) {
        for (const BanView& ban : name.bans) {
            lines.append(QStringLiteral("  Ban: ") + ban.fields.join(u'\t'));
        }
    }
    return lines.join(u'\n');
}

QString LinkedNamesView::counts() const {
    return QStringLiteral("%1 with more than one name, %2")
        .arg(counted(static_cast<qsizetype>(groups.size()), "person", "people"), counted(nameCount, "name", "names"));
}

QString LinkedNamesView::hubLine() const {
    return hubs.isEmpty() ? QString() : QStringLiteral("Not used as links: ") + hubs.join(QStringLiteral("; "));
}

LinkedNamesView makeLinkedNamesView(const BanHandle::LinkedNamesOptions& options) {
    const BanHandle::LinkedNames found = BanHandle::FindLinkedNames(options);
    LinkedNamesView view;
    view.nameCount = found.nameCount;
    view.groups.reserve(found.groups.size());
    for (const BanHandle::LinkedGroup& group : found.groups) {
        view.groups.push_back(groupView(found, group));
    }
    for (const BanHandle::Hub& hub : found.hubs) {
        view.hubs.append(QStringLiteral("%1 %2, shared by %3 names")
                             .arg(kindName(hub.kind), keyText(hub.kind, hub.row))
                             .arg(hub.names));
    }
    return view;
}

QStringList banHeadings() {
    return {QStringLiteral("Acess Level"),  QStringLiteral("Ban status"),  QStringLiteral("BanID"),
            QStringLiteral("Days"),         QStringLiteral("Date of ban"), QStringLiteral("Banned by"),
            QStringLiteral("IP of banned"), QStringLiteral("Banned as")};
}

QString linkedNamesCsv(const std::vector<const GroupView*>& groups) {
    QString text = RowExport::csvRecord(QStringList{QStringLiteral("Group")} + banHeadings() +
                                        QStringList{QStringLiteral("Machine id")}) +
                   QStringLiteral("\r\n");
    int number = 0;
    for (const GroupView* group : groups) {
        ++number;
        for (const NameView& name : group->names) {
            for (const BanView& ban : name.bans) {
                text += RowExport::csvRecord(QStringList{QString::number(number)} + ban.fields + QStringList{ban.mid}) +
                        QStringLiteral("\r\n");
            }
        }
    }
    return text;
}
