// The plain text of the saved machine list, before it is packed (core/login_list.h): one record
// per machine, records separated by LF with none after the last, six fields separated by TAB.
// The text is in the ANSI code page, one byte per character, as the window keeps its cells.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace updexar {

// A check field holds the grid's check value as decimal text: "1" ticked, "2" not ticked, "0" no
// check box. Fields are kept as the text they were read as, so a list goes back out unchanged.
struct SavedMachine {
    std::string nameCheck;
    std::string name;
    std::string addressCheck;
    std::string address;
    std::string user;
    std::string password;  // in plain text

    bool operator==(const SavedMachine&) const = default;
};

// A TAB or LF inside a field would split it or its record, so fields lose them on saving (the
// window takes them out of its cells with this too).
std::string WithoutRecordBreaks(std::string_view field);

// The text of the list; empty for no machines.
std::string MachineListText(const std::vector<SavedMachine>& machines);

// The machines of a list's text, in order. Empty records and records without exactly six fields
// are skipped.
std::vector<SavedMachine> ParseMachineList(std::string_view text);

}  // namespace updexar
