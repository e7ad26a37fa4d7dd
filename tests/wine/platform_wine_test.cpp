// What only the real Windows calls show, beside the contract tests that run in this program too:
// the registry's stored bytes, the disk's own attributes, local-time dates and ANSI bytes, a log
// read while it is written, the drive serial the machine key is made from, the WOW64 folder, the
// computer's name and the reading of a command line. Processes, services, COM, fonts, TCP, name
// lookups and the folders the update writes to are proven by the real program's own scenarios.
#include <windows.h>
// Before any platform header: it takes CopyFile/DeleteFile back from <windows.h>.
#include "win32/win32_filesystem.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "contract/contract_env.h"
#include "contract/contract_util.h"
#include "platform/strings.h"
#include "win32/wide.h"
#include "win32/win32_ansi.h"
#include "win32/win32_registry.h"
#include "win32/win32_system.h"

namespace updexar {
namespace {

using contract::Bytes;
using contract::ErrorOf;
using platform::RegRoot;

DWORD RawAttributes(const std::string& path) { return GetFileAttributesW(win32::Wide(path).c_str()); }

// The value's stored byte count, as RegQueryValueExW reports it (RegGetValueW would add a NUL).
DWORD StoredSize(HKEY key, const wchar_t* name) {
    DWORD size = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, name, nullptr, nullptr, nullptr, &size)) << win32::Narrow(name);
    return size;
}

TEST(RegistryWine, TextIsStoredWithoutTerminatorAndOtherProgramsValuesReadAsStored) {
    win32::Win32Registry registry;
    const std::string path = contract::Env().scratchKey;
    HKEY raw = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, win32::Wide(path).c_str(), 0, KEY_ALL_ACCESS, &raw));
    auto key = registry.Open(RegRoot::CurrentUser, path, true);
    ASSERT_TRUE(key);

    // What we write: the characters alone (what they are is the contract's).
    const struct {
        const wchar_t* name;
        std::string text;
        DWORD bytes;
    } written[] = {
        {L"Plain", "C:\\Qor\\Gr\xC3\xBC\xC3\x9F" "e", 12 * 2},
        {L"Long", std::string(5000, 'q'), 5000 * 2},  // longer than the first read buffer
    };
    for (const auto& w : written) {
        const std::string name = win32::Narrow(w.name);
        ASSERT_TRUE(key->SetString(name, w.text)) << name;
        EXPECT_EQ(w.bytes, StoredSize(raw, w.name)) << name;
        EXPECT_EQ(w.text, key->QueryValue(name)->text) << name;
    }

    // What other programs wrote: one terminator dropped, a second kept, expandable text unexpanded.
    const struct {
        const wchar_t* name;
        DWORD type;
        std::wstring stored;
        uint32_t readType;
        std::string text;
    } stored[] = {
        {L"One", REG_SZ, std::wstring(L"xyz\0", 4), platform::RegSz, "xyz"},
        {L"Two", REG_SZ, std::wstring(L"xyz\0\0", 5), platform::RegSz, std::string("xyz\0", 4)},
        {L"Expand", REG_EXPAND_SZ, std::wstring(L"%SystemRoot%\\x\0", 15), platform::RegExpandSz, "%SystemRoot%\\x"},
    };
    for (const auto& s : stored) {
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(raw, s.name, 0, s.type, reinterpret_cast<const BYTE*>(s.stored.data()),
                                                static_cast<DWORD>(s.stored.size() * sizeof(wchar_t))));
        const auto v = key->QueryValue(win32::Narrow(s.name));
        ASSERT_TRUE(v);
        EXPECT_EQ(s.readType, v->type);
        EXPECT_EQ(s.text, v->text);
    }

    // Numbers are four bytes; read "the wrong way" the caller sees nothing in the other field.
    ASSERT_TRUE(key->SetDword("Big", 0xFFFFFFFFu));
    EXPECT_EQ(4u, StoredSize(raw, L"Big"));
    EXPECT_EQ("", key->QueryValue("Big")->text);
    RegCloseKey(raw);

    // This computer's HKEY_USERS is the LAN scenario's, by name and address; an unknown machine has none.
    EXPECT_FALSE(registry.ConnectUsers("updexar-no-such-machine"));
}

class FileSystemWine : public testing::Test {
protected:
    std::string At(const std::string& name) const { return contract::Env().scratchFolder + "\\" + name; }
    win32::Win32AnsiText text_;
    win32::Win32FileSystem files_{text_};
};

TEST_F(FileSystemWine, AttributesDatesAndTextAreTheDisksOwn) {
    // The read-only bit is on the disk and travels with a copy; a hidden file can be rewritten
    // (the system refuses to "create" over it).
    files_.WriteAllText(At("locked.txt"), "keep");
    files_.SetAttributes(At("locked.txt"), platform::AttrReadOnly | platform::AttrArchive);
    EXPECT_EQ(platform::AttrReadOnly | platform::AttrArchive, files_.GetAttributes(At("locked.txt")));
    files_.CopyFile(At("locked.txt"), At("copy.txt"));
    EXPECT_TRUE(RawAttributes(At("copy.txt")) & FILE_ATTRIBUTE_READONLY);
    files_.WriteAllText(At("hidden.txt"), "one");
    files_.SetAttributes(At("hidden.txt"), platform::AttrHidden);
    files_.WriteAllText(At("hidden.txt"), "two");
    EXPECT_EQ("two", files_.ReadAllText(At("hidden.txt")));
    EXPECT_TRUE(RawAttributes(At("hidden.txt")) & FILE_ATTRIBUTE_HIDDEN);

    // Dates are local time, as the system reports them; a file just written is dated now.
    const std::string file = At("dated.bin");
    files_.WriteAllBytes(file, Bytes("x"));
    for (const DateTime when : {DateTime{2019, 7, 15, 13, 45, 30}, DateTime{2038, 12, 31, 23, 59, 58}}) {
        files_.SetLastModified(file, when);
        WIN32_FILE_ATTRIBUTE_DATA data;
        ASSERT_TRUE(GetFileAttributesExW(win32::Wide(file).c_str(), GetFileExInfoStandard, &data));
        FILETIME local;
        SYSTEMTIME st;
        FileTimeToLocalFileTime(&data.ftLastWriteTime, &local);
        FileTimeToSystemTime(&local, &st);
        EXPECT_EQ(when, (DateTime{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond}));
    }
    SYSTEMTIME now;
    GetLocalTime(&now);
    const DateTime nowDate{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
    EXPECT_LE(std::llabs(files_.LastModified(At("hidden.txt")).SerialSeconds() - nowDate.SerialSeconds()), 5);

    // Text is in the ANSI code page on disk; a character it lacks becomes "?".
    if (GetACP() == 1252) {
        files_.WriteAllText(At("ansi.txt"), "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC \xCE\xA9");  // "Grüße € Ω"
        EXPECT_EQ(Bytes("Gr\xFC\xDF" "e \x80 ?"), files_.ReadAllBytes(At("ansi.txt")));
    }
}

TEST_F(FileSystemWine, ALogBeingWrittenIsReadAndCopiedWhileOpen) {
    const std::string log = At("machine.log");
    auto writer = files_.OpenTextWriter(log);
    writer->WriteLine("[START]");
    EXPECT_EQ("[START]\r\n", files_.ReadAllText(log)) << "written through at once, readable while open";
    EXPECT_EQ("[START]", files_.OpenTextReader(log)->ReadLine());
    writer->WriteLine("[END]");
    files_.CopyFile(log, At("copy.log"));
    EXPECT_EQ("[START]\r\n[END]\r\n", files_.ReadAllText(At("copy.log")));
}

// The machine key is made from this serial.
TEST_F(FileSystemWine, DriveCIsFixedWithTheVolumesSerial) {
    const platform::DriveInfo* c = nullptr;
    const auto drives = files_.Drives();
    for (const auto& d : drives)
        if (d.letter == "C") c = &d;
    ASSERT_NE(nullptr, c);
    EXPECT_EQ(platform::DriveFixed, c->type);
    ASSERT_TRUE(c->ready && c->hasSerial);
    DWORD serial = 0;
    ASSERT_TRUE(GetVolumeInformationW(L"C:\\", nullptr, 0, &serial, nullptr, nullptr, nullptr, 0));
    EXPECT_EQ(static_cast<int32_t>(serial), c->serial);
}

TEST(SystemWine, TheWow64FolderTheComputersNameAndTheCommandLine) {
    win32::Win32System system;
    win32::Win32AnsiText text;
    win32::Win32FileSystem files(text);
    // On 64-bit Windows a 32-bit program's system folder is SysWOW64; elsewhere there is none.
    BOOL wow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &wow64);
    const std::string wowFolder = system.Wow64SystemDirectory();
    if (wow64) {
        EXPECT_TRUE(EndsWithNoCase(wowFolder, "\\SysWOW64") && files.FolderExists(wowFolder)) << wowFolder;
    } else {
        EXPECT_EQ("", wowFolder);
    }
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    ASSERT_TRUE(GetComputerNameW(name, &size));
    EXPECT_EQ(win32::Narrow(name, size), system.ComputerName());

    // The program name ends at the first blank outside quotes; the rest stays as typed.
    const std::pair<const char*, const char*> lines[] = {
        {"\"C:\\Program Files\\Qor\\UpdateG.exe\" AUTOUPD-Galvano:\\\\SRV\\Upd:PC-07:Run 1:2:1:Y",
         "AUTOUPD-Galvano:\\\\SRV\\Upd:PC-07:Run 1:2:1:Y"},
        {"C:\\Qor\\UpdateG.exe   \t a  \"b c\"  ", "a  \"b c\"  "},
        {"UpdateG.exe   ", ""},
        {"\"C:\\Program Files\"\\Qor\\UpdateG.exe arg", "arg"},
        {"\"C:\\Program Files\\UpdateG.exe arg", ""},  // an unclosed quote runs to the end
        {"UpdateG.exe\tx", "x"},
    };
    for (const auto& [line, rest] : lines) EXPECT_EQ(rest, win32::ArgumentsAfterProgramName(line)) << line;
}

}  // namespace
}  // namespace updexar
