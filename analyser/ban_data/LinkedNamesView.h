// The linked-name groups as the window and the command line show them: decoded from the table once, so they
// stay as they were when another window loads the ban file again.
#pragma once

#include "LinkedNames.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

struct BanView {
    QStringList fields; // the search window's eight, left to right: level, status, ban number, days, date, by, IP, name
    QString mid;
    bool stillValid = false;
};

struct NameView {
    QString name;
    QString label; // the name with its number of bans, dates and validity
    bool stillValid = false;
    std::vector<BanView> bans;
};

struct GroupView {
    QString label;      // "3 names: A, B, C", with "still banned" when one of its bans is
    QStringList keys;   // "Machine id 123: A, B"
    QStringList links;  // "A and B share machine id 123"
    QStringList search; // names, machine ids and IPs, for the filter
    bool stillValid = false;
    std::vector<NameView> names;

    // The group as plain text: the label, then its names, ids, links and bans, indented.
    QString text() const;
};

struct LinkedNamesView {
    std::vector<GroupView> groups;
    QStringList hubs; // "machine id 123, shared by 40 names"
    int nameCount = 0;

    // "N people with more than one name, M names"
    QString counts() const;
    // "Not used as links: …", empty when no id was left out.
    QString hubLine() const;
};

// Groups the loaded table and decodes the result.
LinkedNamesView makeLinkedNamesView(const BanHandle::LinkedNamesOptions& options);

// The column headings of the eight ban fields.
QStringList banHeadings();

// Every ban of the groups as comma-separated values, one record per ban, CR LF after each.
QString linkedNamesCsv(const std::vector<const GroupView*>& groups);
