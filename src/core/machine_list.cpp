#include "core/machine_list.h"

namespace updexar {
namespace {

constexpr char kFieldBreak = '\t';
constexpr char kRecordBreak = '\n';
constexpr size_t kFields = 6;

}  // namespace

std::string WithoutRecordBreaks(std::string_view field) {
    std::string kept;
    kept.reserve(field.size());
    for (char c : field)
        if (c != kFieldBreak && c != kRecordBreak) kept += c;
    return kept;
}

std::string MachineListText(const std::vector<SavedMachine>& machines) {
    std::string text;
    for (size_t r = 0; r < machines.size(); ++r) {
        if (r > 0) text += kRecordBreak;
        const SavedMachine& m = machines[r];
        const std::string_view fields[kFields] = {m.nameCheck, m.name, m.addressCheck, m.address, m.user, m.password};
        for (size_t i = 0; i < kFields; ++i) {
            if (i > 0) text += kFieldBreak;
            text += WithoutRecordBreaks(fields[i]);
        }
    }
    return text;
}

std::vector<SavedMachine> ParseMachineList(std::string_view text) {
    std::vector<SavedMachine> machines;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(kRecordBreak, start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view record = text.substr(start, end - start);
        start = end + 1;
        if (record.empty()) continue;

        std::string fields[kFields];
        size_t count = 0, from = 0;
        for (;;) {
            const size_t tab = record.find(kFieldBreak, from);
            const size_t to = tab == std::string_view::npos ? record.size() : tab;
            if (count < kFields) fields[count] = std::string(record.substr(from, to - from));
            ++count;
            if (tab == std::string_view::npos) break;
            from = tab + 1;
        }
        if (count != kFields) continue;
        machines.push_back({std::move(fields[0]), std::move(fields[1]), std::move(fields[2]), std::move(fields[3]),
                            std::move(fields[4]), std::move(fields[5])});
    }
    return machines;
}

}  // namespace updexar
