// updexar-upl: reads and writes the saved machine list of the LAN update (VEKUpdUtil.UPL in a
// share's VEK_Updates folder), for support staff who need to see or fix a list without the
// program's window.
//
//   updexar-upl decode [--show-passwords] FILE   one line per machine, six fields separated by
//                                                TAB: name check, name, address check, address,
//                                                user, password (masked unless asked for)
//   updexar-upl encode -o FILE < TEXT            the same lines back into a list file, which is
//                                                replaced only once the whole list is packed
//
// The text is the list's own bytes, in the Windows ANSI code page the list was saved in; nothing
// is converted, so a decoded list encodes back to the same file.
#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "core/list_file.h"
#include "core/login_list.h"
#include "core/machine_list.h"
#include "platform/errors.h"
#include "platform/local_system.h"

namespace {

using updexar::SavedMachine;

constexpr int kOk = 0;
constexpr int kBadInput = 1;
constexpr int kBadUsage = 2;
constexpr std::string_view kMask = "********";

const char kUsage[] =
    "usage: updexar-upl decode [--show-passwords] FILE\n"
    "       updexar-upl encode -o FILE < TEXT\n"
    "\n"
    "decode prints each machine of a saved machine list (VEKUpdUtil.UPL) on one line, its six\n"
    "fields separated by TAB: name check, name, address check, address, user, password. A check\n"
    "is 1 (ticked), 2 (not ticked) or 0 (no check box). Passwords show as ******** unless\n"
    "--show-passwords is given.\n"
    "encode reads such lines (LF or CR LF line ends; empty lines are skipped) and puts the list\n"
    "file in place of FILE once the whole list is packed; a mistake in the text leaves FILE as it\n"
    "was.\n"
    "The text is the list's bytes in the Windows ANSI code page, unconverted.\n";

int Usage(const char* problem) {
    std::fprintf(stderr, "updexar-upl: %s\n%s", problem, kUsage);
    return kBadUsage;
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "updexar-upl: %s\n", message.c_str());
    return kBadInput;
}

// Windows would turn LF into CR LF on the way out and stop reading at a Ctrl+Z; the list file and
// its text are bytes.
void UseBinaryStdio() {
#ifdef _WIN32
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
#endif
}

bool WriteOut(std::string_view bytes) {
    return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() && std::fflush(stdout) == 0;
}

size_t CountRecords(std::string_view text) {
    size_t records = 0, start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        records += end > start;
        start = end + 1;
    }
    return records;
}

int Decode(updexar::platform::FileSystem& fs, const std::string& path, bool showPasswords) {
    std::vector<uint8_t> bytes;
    try {
        bytes = fs.ReadAllBytes(path);
    } catch (const updexar::RuntimeError& e) {
        return Fail("cannot open '" + path + "': " + e.Description());
    }
    if (bytes.empty()) return Fail("'" + path + "' is empty; the program writes no list file for no machines");
    if (!updexar::UnpackLoginList(bytes))
        return Fail("'" + path + "' is not a packed machine list, or it is damaged (the program would load "
                    "nothing from it)");

    const std::string text(bytes.begin(), bytes.end());
    const std::vector<SavedMachine> machines = updexar::ParseMachineList(text);
    std::string out;
    for (const SavedMachine& m : machines) {
        // An empty password shows as empty: a mask would say there is one.
        const std::string_view password = showPasswords || m.password.empty() ? std::string_view(m.password) : kMask;
        for (std::string_view field : {std::string_view(m.nameCheck), std::string_view(m.name),
                                       std::string_view(m.addressCheck), std::string_view(m.address),
                                       std::string_view(m.user)}) {
            out.append(field);
            out += '\t';
        }
        out.append(password);
        out += '\n';
    }
    if (!WriteOut(out)) return Fail("cannot write the machines to standard output");

    if (const size_t skipped = CountRecords(text) - machines.size())
        std::fprintf(stderr, "updexar-upl: %zu record(s) without six fields skipped, as the program skips them\n",
                     skipped);
    return kOk;
}

bool IsCheckValue(std::string_view field) { return field == "0" || field == "1" || field == "2"; }

int Encode(updexar::platform::FileSystem& fs, const std::string& out) {
    std::string text;
    char chunk[64 * 1024];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, stdin)) > 0) text.append(chunk, got);
    if (std::ferror(stdin)) return Fail("cannot read standard input");

    std::vector<SavedMachine> machines;
    size_t lineNumber = 0, start = 0, masked = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string_view line(text.data() + start, end - start);
        start = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty()) continue;

        const std::vector<SavedMachine> parsed = updexar::ParseMachineList(line);
        if (parsed.size() != 1) {
            const size_t fields = static_cast<size_t>(std::count(line.begin(), line.end(), '\t')) + 1;
            return Fail("line " + std::to_string(lineNumber) + " has " + std::to_string(fields) +
                        " field(s); a machine has six, separated by TAB: name check, name, address check, "
                        "address, user, password");
        }
        const SavedMachine& m = parsed.front();
        if (!IsCheckValue(m.nameCheck) || !IsCheckValue(m.addressCheck))
            return Fail("line " + std::to_string(lineNumber) +
                        ": a check (fields 1 and 3) is 1 (ticked), 2 (not ticked) or 0 (no check box)");
        masked += m.password == kMask;
        machines.push_back(m);
    }
    if (masked > 0)
        std::fprintf(stderr,
                     "updexar-upl: warning: %zu password(s) are the mask %s and are saved as that text (decode "
                     "with --show-passwords to keep the real ones)\n",
                     masked, std::string(kMask).c_str());
    if (machines.empty()) return Fail("no machines in the input; the program keeps no list file for no machines");

    const std::string listText = updexar::MachineListText(machines);
    std::vector<uint8_t> bytes(listText.begin(), listText.end());
    if (!updexar::PackLoginList(bytes)) return Fail("these machines cannot be packed into a list");
    try {
        if (!updexar::ReplaceListFile(fs, out, bytes, "upl"))
            std::fprintf(stderr, "updexar-upl: warning: the folder keeps no access rules; '%s' has the folder's own rights\n",
                         out.c_str());
    } catch (const updexar::RuntimeError& e) {
        return Fail("cannot write '" + out + "': " + e.Description() + "; it is as it was");
    }
    return kOk;
}

}  // namespace

int main(int argc, char** argv) {
    UseBinaryStdio();
    const std::vector<std::string> args = updexar::platform::ToolArguments(argc, argv);
    updexar::platform::FileSystem& fs = updexar::platform::LocalFileSystem();
    if (args.empty()) return Usage("no command given");
    const std::string& command = args.front();
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kUsage, stdout);
        return kOk;
    }
    if (command == "decode") {
        bool showPasswords = false;
        std::vector<std::string> files;
        for (size_t i = 1; i < args.size(); ++i) {
            if (args[i] == "--show-passwords")
                showPasswords = true;
            else if (args[i].size() > 1 && args[i][0] == '-')
                return Usage(("unknown option '" + args[i] + "'").c_str());
            else
                files.push_back(args[i]);
        }
        if (files.size() != 1) return Usage("decode takes one list file");
        return Decode(fs, files.front(), showPasswords);
    }
    if (command == "encode") {
        // Never to standard output: a shell empties a file it redirects to before the text is read.
        if (args.size() != 3 || args[1] != "-o")
            return Usage("encode takes -o FILE, the list to write; the text comes on standard input");
        return Encode(fs, args[2]);
    }
    return Usage(("unknown command '" + command + "'").c_str());
}
