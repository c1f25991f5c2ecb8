// The journal of an install or a rollback in progress (".qlupdate/journal"), and the manifest
// that a backup folder keeps of the install it can undo. Both are the same text: a header, one
// line per planned step, and marks appended as the work passes its points of no return.
//
//   qlupdate journal 1
//   kind install|rollback
//   from VERSION          the version the installation had before the install
//   to VERSION            the version the install brings
//   backup FOLDER         the folder of the state folder holding the old files ("staging", ...)
//   running 01001000      the services and programs that ran before the install, in table order
//   folder REL            a folder the install created
//   replace REL [TEMP]    a file (or link) the install replaces; its old one is FOLDER/files/REL
//   add REL [TEMP]        a file the install adds where there was none
//   ready                 every new file is written and flushed beside its target (TEMP, in the
//                         target's folder): the renames may begin
//   commit                every rename is done: the install stands, only clean-up is left
//
// REL is the path below the installation folder with '/' between its names; fields are separated
// by a tab and '%', tab, CR and LF in them are written %25, %09, %0D, %0A.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace host {

enum class JournalKind { Install, Rollback };

struct JournalEntry {
    enum class Op { Folder, Replace, Add };
    Op op = Op::Add;
    std::string rel;
    std::string temp;  // the new file's name beside the target, once staged ("" before)
};

struct Journal {
    JournalKind kind = JournalKind::Install;
    std::string from;
    std::string to;
    std::string backup = "staging";
    std::string running;
    std::vector<JournalEntry> entries;
    bool ready = false;
    bool committed = false;
};

inline constexpr std::string_view kJournalCommitLine = "commit\n";

std::string FormatJournal(const Journal& journal);
// nullopt for a text that is not a journal (wrong header, unknown line, a field too many);
// a last line without its line end is ignored (a torn append).
std::optional<Journal> ParseJournal(std::string_view text);

}  // namespace host
