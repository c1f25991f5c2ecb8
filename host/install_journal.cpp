#include "host/install_journal.h"

namespace host {
namespace {

constexpr std::string_view kHeader = "qlupdate journal 1";

std::string escape(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
        switch (c) {
            case '%':
                out += "%25";
                break;
            case '\t':
                out += "%09";
                break;
            case '\r':
                out += "%0D";
                break;
            case '\n':
                out += "%0A";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::optional<std::string> unescape(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '%') {
            out += s[i];
            continue;
        }
        const std::string_view code = s.substr(i + 1, 2);
        if (code == "25")
            out += '%';
        else if (code == "09")
            out += '\t';
        else if (code == "0D")
            out += '\r';
        else if (code == "0A")
            out += '\n';
        else
            return std::nullopt;
        i += 2;
    }
    return out;
}

std::vector<std::string_view> fields(std::string_view line) {
    std::vector<std::string_view> out;
    for (;;) {
        const auto tab = line.find('\t');
        out.push_back(line.substr(0, tab));
        if (tab == std::string_view::npos) return out;
        line.remove_prefix(tab + 1);
    }
}

const char* opName(JournalEntry::Op op) {
    switch (op) {
        case JournalEntry::Op::Folder:
            return "folder";
        case JournalEntry::Op::Replace:
            return "replace";
        case JournalEntry::Op::Add:
            return "add";
    }
    return "add";
}

}  // namespace

std::string FormatJournal(const Journal& j) {
    std::string out = std::string(kHeader) + "\n";
    out += std::string("kind\t") + (j.kind == JournalKind::Install ? "install" : "rollback") + "\n";
    out += "from\t" + escape(j.from) + "\n";
    out += "to\t" + escape(j.to) + "\n";
    out += "backup\t" + escape(j.backup) + "\n";
    out += "running\t" + escape(j.running) + "\n";
    for (const JournalEntry& e : j.entries) {
        out += std::string(opName(e.op)) + "\t" + escape(e.rel);
        if (!e.temp.empty()) out += "\t" + escape(e.temp);
        out += "\n";
    }
    if (j.ready) out += "ready\n";
    if (j.committed) out += kJournalCommitLine;
    return out;
}

std::optional<Journal> ParseJournal(std::string_view text) {
    Journal j;
    bool first = true;
    while (!text.empty()) {
        const auto end = text.find('\n');
        if (end == std::string_view::npos) break;  // torn last line
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end + 1);
        if (first) {
            if (line != kHeader) return std::nullopt;
            first = false;
            continue;
        }
        const std::vector<std::string_view> f = fields(line);
        const std::string_view key = f[0];
        if (f.size() == 1) {
            if (key == "ready")
                j.ready = true;
            else if (key == "commit")
                j.committed = true;
            else
                return std::nullopt;
            continue;
        }
        std::optional<std::string> v1 = unescape(f[1]);
        if (!v1) return std::nullopt;
        if (key == "folder" || key == "replace" || key == "add") {
            if (f.size() > 3 || v1->empty()) return std::nullopt;
            JournalEntry e;
            e.op = key == "folder"    ? JournalEntry::Op::Folder
                   : key == "replace" ? JournalEntry::Op::Replace
                                      : JournalEntry::Op::Add;
            e.rel = std::move(*v1);
            if (f.size() == 3) {
                std::optional<std::string> t = unescape(f[2]);
                if (!t) return std::nullopt;
                e.temp = std::move(*t);
            }
            j.entries.push_back(std::move(e));
            continue;
        }
        if (f.size() != 2) return std::nullopt;
        if (key == "kind" && (*v1 == "install" || *v1 == "rollback"))
            j.kind = *v1 == "install" ? JournalKind::Install : JournalKind::Rollback;
        else if (key == "from")
            j.from = std::move(*v1);
        else if (key == "to")
            j.to = std::move(*v1);
        else if (key == "backup")
            j.backup = std::move(*v1);
        else if (key == "running")
            j.running = std::move(*v1);
        else
            return std::nullopt;
    }
    if (first) return std::nullopt;
    return j;
}

}  // namespace host
