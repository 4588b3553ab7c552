#include "services/record_merge.h"

#include <string>
#include <unordered_set>

#include "core/chars.h"

namespace tessarin {
namespace {

std::string foldedKey(const char* text, int32_t length) {
    std::string key(text, static_cast<size_t>(length));
    for (char& c : key) c = static_cast<char>(toUpperAscii(static_cast<unsigned char>(c)));
    return key;
}

std::string exactKey(const String& text) {
    return std::string(text.c_str(), static_cast<size_t>(text.length()));
}

bool stillPresent(const FileDeletion& deletion, RecordPresence& presence) {
    switch (deletion.kind) {
        case DeletionKind::File:
            return presence.fileExists(deletionPathWide(deletion));
        case DeletionKind::Folder:
            return presence.folderExists(deletionPathWide(deletion));
        default:
            return presence.registryEntryExists(deletion);
    }
}

void carryLines(const Vector<String>& from, Vector<String>& to, RecordMergeCounts& counts) {
    std::unordered_set<std::string> seen;
    for (const String& line : to) seen.insert(exactKey(line));
    for (const String& line : from) {
        if (line.empty() || !seen.insert(exactKey(line)).second) continue;
        to.append(line);
        ++counts.carried;
    }
}

void carryRegistryTable(const String& from, String& to, RecordMergeCounts& counts) {
    std::unordered_set<std::string> seen;
    auto forEachRecord = [](const String& table, auto&& take) {
        const char* p = table.c_str();
        int32_t n = table.length();
        for (int32_t start = 0, i = 0; i <= n; ++i) {
            if (i < n && p[i] != '\r' && p[i] != '\n') continue;
            if (i > start) take(std::string(p + start, static_cast<size_t>(i - start)));
            start = i + 1;
        }
    };
    forEachRecord(to, [&](const std::string& record) { seen.insert(record); });
    forEachRecord(from, [&](const std::string& record) {
        if (!seen.insert(record).second) return;
        to.append(record.c_str(), static_cast<int32_t>(record.size()));
        to.append("\r\n");
        ++counts.carried;
    });
}

}  // namespace

RecordMergeCounts carryPreviousRecord(const UninstallData& previous, UninstallData& current,
                                      RecordPresence& presence) {
    RecordMergeCounts counts;
    std::unordered_set<std::string> recorded;
    current.deletionLines().forEach(
        [&](const String& line) { recorded.insert(foldedKey(line.c_str(), line.length())); });
    for (const FileDeletion& deletion : previous.deletions) {
        if (deletion.path.empty()) continue;
        String line;
        if (char prefix = deletionPrefix(deletion.kind)) line.appendChar(prefix);
        line.append(deletion.path);
        if (recorded.count(foldedKey(line.c_str(), line.length()))) continue;
        if (deletion.kind == DeletionKind::File &&
            presence.writtenUnrecorded(deletionPathWide(deletion)))
            continue;
        if (!stillPresent(deletion, presence)) {
            ++counts.dropped;
            continue;
        }
        if (current.recordDeletion(deletion.path.c_str(), deletion.kind)) {
            recorded.insert(foldedKey(line.c_str(), line.length()));
            ++counts.carried;
        }
    }

    for (const FileAssociation& a : previous.associations) {
        bool known = false;
        for (const FileAssociation& b : current.associations)
            known =
                known || (foldedKey(a.extension.c_str(), a.extension.length()) ==
                              foldedKey(b.extension.c_str(), b.extension.length()) &&
                          a.programId.equals(b.programId.c_str()) && a.verb.equals(b.verb.c_str()));
        if (known) continue;
        current.associations.append(a);
        ++counts.carried;
    }
    carryLines(previous.firewall, current.firewall, counts);
    carryLines(previous.inf, current.inf, counts);
    carryLines(previous.msi, current.msi, counts);
    carryRegistryTable(previous.registryTable, current.registryTable, counts);
    for (const ConditionalDeletion& rule : previous.conditionalDeletions) {
        bool known = false;
        for (const ConditionalDeletion& own : current.conditionalDeletions)
            known = known || (own.Path.equals(rule.Path.c_str()) && own.Kind == rule.Kind &&
                              own.Value.equals(rule.Value.c_str()) && own.Flags == rule.Flags);
        if (known) continue;
        current.conditionalDeletions.append(rule);
        ++counts.carried;
    }
    return counts;
}

}  // namespace tessarin
