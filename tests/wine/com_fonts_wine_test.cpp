#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/strings.h"
#include "system_wine_util.h"
#include "win32/win32_com.h"
#include "win32/win32_fonts.h"

namespace updexar {
namespace {

using platform::SelfRegOutcome;

const wchar_t kComKey[] = L"Software\\UpdexarTest\\Com";

std::optional<DWORD> RegisteredValue() {
    DWORD value = 0;
    DWORD size = sizeof value;
    if (RegGetValueW(HKEY_CURRENT_USER, kComKey, L"Registered", RRF_RT_REG_DWORD, nullptr, &value, &size) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    return value;
}

TEST(ComRegistrationWine, SelfRegistrationThroughTheLibrarysOwnEntryPoints) {
    win32::Win32ComRegistration com;
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kComKey, L"Registered");
    const std::string dll = systest::StandIn("com_test.dll");

    auto r = com.CallSelfRegistration(dll, true);
    EXPECT_EQ(r.outcome, SelfRegOutcome::Called);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(RegisteredValue().value_or(0), 1u);

    r = com.CallSelfRegistration(dll, false);
    EXPECT_EQ(r.outcome, SelfRegOutcome::Called);
    EXPECT_EQ(r.result, 0);
    EXPECT_FALSE(RegisteredValue().has_value());

    // The library's failure code comes back as it is, and nothing was written.
    SetEnvironmentVariableW(L"UPDEXAR_COM_RESULT", L"0x80004005");
    r = com.CallSelfRegistration(dll, true);
    SetEnvironmentVariableW(L"UPDEXAR_COM_RESULT", nullptr);
    EXPECT_EQ(r.outcome, SelfRegOutcome::Called);
    EXPECT_EQ(r.result, static_cast<int32_t>(0x80004005u));
    EXPECT_FALSE(RegisteredValue().has_value());

    // The library is unloaded afterwards, so it can be replaced, as an update does.
    const std::string copy = systest::MakeScratchFolder("com") + "\\copied.dll";
    ASSERT_TRUE(CopyFileW(win32::Wide(dll).c_str(), win32::Wide(copy).c_str(), FALSE));
    EXPECT_EQ(com.CallSelfRegistration(copy, true).outcome, SelfRegOutcome::Called);
    EXPECT_EQ(com.CallSelfRegistration(copy, false).outcome, SelfRegOutcome::Called);
    EXPECT_TRUE(DeleteFileW(win32::Wide(copy).c_str()));
}

TEST(ComRegistrationWine, LibrariesWithoutEntryPointsAndFilesThatAreNoLibraries) {
    win32::Win32ComRegistration com;
    const std::string noreg = systest::StandIn("noreg_test.dll");
    EXPECT_EQ(com.CallSelfRegistration(noreg, true).outcome, SelfRegOutcome::NoEntryPoint);
    EXPECT_EQ(com.CallSelfRegistration(noreg, false).outcome, SelfRegOutcome::NoEntryPoint);

    const std::string folder = systest::MakeScratchFolder("nolib");
    EXPECT_EQ(com.CallSelfRegistration(folder + "\\missing.dll", true).outcome, SelfRegOutcome::LoadFailed);
    EXPECT_EQ(com.CallSelfRegistration("", true).outcome, SelfRegOutcome::LoadFailed);
    const std::string text = folder + "\\text.dll";
    HANDLE f = CreateFileW(win32::Wide(text).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(f, "not a library", 13, &written, nullptr);
    CloseHandle(f);
    EXPECT_EQ(com.CallSelfRegistration(text, true).outcome, SelfRegOutcome::LoadFailed);
}

uint32_t Be(const std::string& b, size_t at, int bytes) {
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) v = (v << 8) | static_cast<unsigned char>(b[at + static_cast<size_t>(i)]);
    return v;
}

void PutBe32(std::string& b, size_t at, uint32_t v) {
    for (int i = 3; i >= 0; --i, v >>= 8) b[at + static_cast<size_t>(i)] = static_cast<char>(v & 0xFF);
}

uint32_t Checksum(const std::string& b, size_t offset, size_t length) {
    uint32_t sum = 0;
    for (size_t i = 0; i < length; i += 4) {
        uint32_t word = 0;
        for (size_t k = 0; k < 4; ++k) {
            word = (word << 8) | (i + k < length ? static_cast<unsigned char>(b[offset + i + k]) : 0u);
        }
        sum += word;
    }
    return sum;
}

// A copy of a TrueType font under a family name nobody has installed: every name-table string is
// rewritten with a replacement of the same length, and the checksums are made right again.
bool RenameFamily(std::string& font, const std::string& from, const std::string& to) {
    if (from.size() != to.size() || font.size() < 12) return false;
    const uint32_t tables = Be(font, 4, 2);
    size_t nameAt = 0, nameLength = 0, nameRecord = 0, headAt = 0, headRecord = 0;
    for (uint32_t i = 0; i < tables; ++i) {
        const size_t record = 12 + 16 * i;
        if (record + 16 > font.size()) return false;
        const std::string tag = font.substr(record, 4);
        if (tag == "name") {
            nameRecord = record;
            nameAt = Be(font, record + 8, 4);
            nameLength = Be(font, record + 12, 4);
        } else if (tag == "head") {
            headRecord = record;
            headAt = Be(font, record + 8, 4);
        }
    }
    if (!nameRecord || !headRecord || nameAt + nameLength > font.size()) return false;
    std::string fromWide, toWide;
    for (size_t i = 0; i < from.size(); ++i) {
        fromWide += std::string(1, '\0') + from[i];
        toWide += std::string(1, '\0') + to[i];
    }
    const size_t storage = nameAt + Be(font, nameAt + 4, 2);
    int renamed = 0;
    for (uint32_t i = 0; i < Be(font, nameAt + 2, 2); ++i) {
        const size_t record = nameAt + 6 + 12 * i;
        const bool wide = Be(font, record, 2) != 1;
        const size_t at = storage + Be(font, record + 10, 2);
        const size_t length = Be(font, record + 8, 2);
        std::string text = font.substr(at, length);
        const std::string& f = wide ? fromWide : from;
        for (size_t hit = text.find(f); hit != std::string::npos; hit = text.find(f, hit + f.size())) {
            text.replace(hit, f.size(), wide ? toWide : to);
            ++renamed;
        }
        font.replace(at, length, text);
    }
    PutBe32(font, nameRecord + 4, Checksum(font, nameAt, nameLength));
    PutBe32(font, headAt + 8, 0);
    PutBe32(font, headRecord + 4, Checksum(font, headAt, Be(font, headRecord + 12, 4)));
    PutBe32(font, headAt + 8, 0xB1B0AFBAu - Checksum(font, 0, font.size()));
    return renamed > 0;
}

bool WriteAll(const std::string& path, const std::string& data) {
    HANDLE f = CreateFileW(win32::Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(f, data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
    CloseHandle(f);
    return ok && written == data.size();
}

int CALLBACK FirstFace(const LOGFONTW* font, const TEXTMETRICW*, DWORD, LPARAM param) {
    *reinterpret_cast<std::wstring*>(param) = font->lfFaceName;
    return 0;
}

TEST(FontsWine, FacesAreFoundWithoutRegardToCase) {
    win32::Win32Fonts fonts;
    // Whatever this system has, its first family must be found, also in other letter cases.
    std::wstring any;
    HDC dc = GetDC(nullptr);
    LOGFONTW lf{};
    lf.lfCharSet = DEFAULT_CHARSET;
    EnumFontFamiliesExW(dc, &lf, FirstFace, reinterpret_cast<LPARAM>(&any), 0);
    ReleaseDC(nullptr, dc);
    ASSERT_FALSE(any.empty());
    const std::string face = win32::Narrow(any);
    EXPECT_TRUE(fonts.IsFaceInstalled(face)) << face;
    EXPECT_TRUE(fonts.IsFaceInstalled(ToUpper(face))) << face;
    EXPECT_TRUE(fonts.IsFaceInstalled(ToLower(face))) << face;
    EXPECT_FALSE(fonts.IsFaceInstalled(face + "x"));

    EXPECT_FALSE(fonts.IsFaceInstalled("Updexar No Such Face 7Q"));
    EXPECT_FALSE(fonts.IsFaceInstalled(""));
    EXPECT_FALSE(fonts.IsFaceInstalled("A face name longer than GDI can hold at all"));
    EXPECT_EQ(fonts.AddFontFile(""), 0);
    EXPECT_EQ(fonts.AddFontFile("C:\\no\\such\\font.ttf"), 0);
    fonts.BroadcastFontChange();
}

TEST(FontsWine, AddedFontFileMakesItsFaceAvailable) {
    const char* source = std::getenv("UPDEXAR_TEST_FONT");
    if (!source || !*source) GTEST_SKIP() << "UPDEXAR_TEST_FONT names no TrueType file";
    win32::Win32Fonts fonts;
    const std::string folder = systest::MakeScratchFolder("fonts");

    // The font as shipped (Wine may see it already through the host's fonts).
    const std::string copy = folder + "\\DejaVuSans.ttf";
    ASSERT_TRUE(CopyFileW(win32::Wide(source).c_str(), win32::Wide(copy).c_str(), FALSE)) << source;
    EXPECT_GE(fonts.AddFontFile(copy), 1);
    EXPECT_TRUE(fonts.IsFaceInstalled("DejaVu Sans"));
    EXPECT_TRUE(fonts.IsFaceInstalled("dejavu SANS"));

    // The same font under a name that surely is not installed yet.
    std::string data = systest::ReadAll(copy);
    ASSERT_TRUE(RenameFamily(data, "DejaVu Sans", "Updexar Tst"));
    const std::string renamed = folder + "\\UpdexarTst.ttf";
    ASSERT_TRUE(WriteAll(renamed, data));
    EXPECT_FALSE(fonts.IsFaceInstalled("Updexar Tst"));
    EXPECT_GE(fonts.AddFontFile(renamed), 1);
    EXPECT_TRUE(fonts.IsFaceInstalled("Updexar Tst"));
    EXPECT_TRUE(fonts.IsFaceInstalled("UPDEXAR tst"));
    fonts.BroadcastFontChange();
    RemoveFontResourceW(win32::Wide(renamed).c_str());
    RemoveFontResourceW(win32::Wide(copy).c_str());
}

}  // namespace
}  // namespace updexar
