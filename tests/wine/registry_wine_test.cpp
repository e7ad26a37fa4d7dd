// The registry as Windows stores it: exact stored lengths, types, enumeration statuses and the
// remote connection to this computer's own HKEY_USERS.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "contract/contract_env.h"
#include "core_wine_util.h"
#include "platform/strings.h"
#include "win32/win32_registry.h"
#include "win32/win32_system.h"

namespace updexar {
namespace {

using platform::RegRoot;

// The value exactly as stored: type and bytes.
struct Stored {
    DWORD type = 0;
    std::vector<BYTE> bytes;
};

Stored ReadStored(const std::string& keyPath, const wchar_t* name) {
    // RegQueryValueExW, not RegGetValueW: the latter adds a terminator the data may not have.
    Stored s;
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, win32::Wide(keyPath).c_str(), 0, KEY_READ, &key));
    DWORD size = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, name, nullptr, &s.type, nullptr, &size));
    s.bytes.resize(size);
    if (size) RegQueryValueExW(key, name, nullptr, &s.type, s.bytes.data(), &size);
    RegCloseKey(key);
    return s;
}

void StoreRaw(HKEY key, const wchar_t* name, DWORD type, const void* data, DWORD bytes) {
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), bytes));
}

class RegistryWine : public testing::Test {
protected:
    void SetUp() override {
        keyPath_ = contract::Env().scratchKey;
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, win32::Wide(keyPath_).c_str(), 0,
                                               KEY_ALL_ACCESS, &raw_));
    }
    void TearDown() override {
        if (raw_) RegCloseKey(raw_);
    }
    win32::Win32Registry registry_;
    std::string keyPath_;
    HKEY raw_ = nullptr;
};

TEST_F(RegistryWine, TextIsStoredWithoutTerminatorAndReadBackWhole) {
    auto key = registry_.Create(RegRoot::CurrentUser, keyPath_);
    ASSERT_TRUE(key);

    ASSERT_TRUE(key->SetString("Plain", "C:\\Qor\\Gr\xC3\xBC\xC3\x9F" "e"));
    Stored plain = ReadStored(keyPath_, L"Plain");
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), plain.type);
    EXPECT_EQ(12u * 2, plain.bytes.size()) << "stored length must be the characters alone";
    EXPECT_EQ("C:\\Qor\\Gr\xC3\xBC\xC3\x9F" "e", key->QueryValue("Plain")->text);

    const std::string withNul("ab\0cd", 5);
    ASSERT_TRUE(key->SetString("Nul", withNul));
    EXPECT_EQ(10u, ReadStored(keyPath_, L"Nul").bytes.size());
    EXPECT_EQ(withNul, key->QueryValue("Nul")->text);

    ASSERT_TRUE(key->SetString("Empty", ""));
    EXPECT_EQ(0u, ReadStored(keyPath_, L"Empty").bytes.size());
    auto empty = key->QueryValue("Empty");
    ASSERT_TRUE(empty);
    EXPECT_EQ(static_cast<uint32_t>(platform::RegSz), empty->type);
    EXPECT_EQ("", empty->text);

    // Written by other programs: with one terminator (dropped), with two (one kept).
    StoreRaw(raw_, L"One", REG_SZ, L"xyz", 4 * sizeof(wchar_t));
    StoreRaw(raw_, L"Two", REG_SZ, L"xyz\0", 5 * sizeof(wchar_t));
    EXPECT_EQ("xyz", key->QueryValue("One")->text);
    EXPECT_EQ(std::string("xyz\0", 4), key->QueryValue("Two")->text);

    // Expandable text comes back as stored, unexpanded.
    StoreRaw(raw_, L"Expand", REG_EXPAND_SZ, L"%SystemRoot%\\x", 15 * sizeof(wchar_t));
    auto expand = key->QueryValue("Expand");
    EXPECT_EQ(static_cast<uint32_t>(platform::RegExpandSz), expand->type);
    EXPECT_EQ("%SystemRoot%\\x", expand->text);

    // A text longer than the first read buffer.
    const std::string longText(5000, 'q');
    ASSERT_TRUE(key->SetString("Long", longText));
    EXPECT_EQ(longText, key->QueryValue("Long")->text);

    // The unnamed default value.
    ASSERT_TRUE(key->SetString("", "default"));
    EXPECT_EQ("default", key->QueryValue("")->text);
}

TEST_F(RegistryWine, NumbersOtherTypesAndTypeMismatches) {
    auto key = registry_.Create(RegRoot::CurrentUser, keyPath_);
    ASSERT_TRUE(key);

    ASSERT_TRUE(key->SetDword("Big", 0xFFFFFFFFu));
    Stored big = ReadStored(keyPath_, L"Big");
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), big.type);
    EXPECT_EQ(4u, big.bytes.size());
    EXPECT_EQ(0xFFFFFFFFu, key->QueryValue("Big")->dword);

    // Read "the wrong way": the caller sees the stored type and nothing in the other field.
    ASSERT_TRUE(key->SetString("Text", "120"));
    auto asText = key->QueryValue("Big");
    EXPECT_EQ(static_cast<uint32_t>(platform::RegDword), asText->type);
    EXPECT_EQ("", asText->text);
    auto asNumber = key->QueryValue("Text");
    EXPECT_EQ(static_cast<uint32_t>(platform::RegSz), asNumber->type);
    EXPECT_EQ(0u, asNumber->dword);

    const BYTE blob[] = {0, 1, 2, 0xFE};
    StoreRaw(raw_, L"Blob", REG_BINARY, blob, sizeof blob);
    auto b = key->QueryValue("Blob");
    EXPECT_EQ(static_cast<uint32_t>(platform::RegBinary), b->type);
    EXPECT_EQ(std::vector<uint8_t>(blob, blob + 4), b->raw);
    const ULONGLONG q = 0x0102030405060708ull;
    StoreRaw(raw_, L"Q", REG_QWORD, &q, sizeof q);
    EXPECT_EQ(8u, key->QueryValue("Q")->raw.size());
}

// Reading, writing and deleting are the contract tests'; here what only the real registry has.
TEST_F(RegistryWine, CreateMakesEveryLevelAndTheMachineRootsOpen) {
    ASSERT_TRUE(registry_.Create(RegRoot::CurrentUser, keyPath_ + "\\A\\B"));
    EXPECT_TRUE(registry_.Open(RegRoot::CurrentUser, keyPath_ + "\\A\\B"));
    EXPECT_FALSE(registry_.DeleteKey(RegRoot::CurrentUser, ""));
    EXPECT_TRUE(registry_.Open(RegRoot::LocalMachine, "Software"));
    EXPECT_TRUE(registry_.Open(RegRoot::ClassesRoot, ""));
    EXPECT_TRUE(registry_.Open(RegRoot::Users, ".DEFAULT"));

    // A name that does not fit is not handed out half.
    auto key = registry_.Open(RegRoot::CurrentUser, keyPath_);
    std::string name = "unchanged";
    EXPECT_EQ(platform::RegMoreData, key->EnumSubKey(0, name, 0));
    EXPECT_EQ("unchanged", name);
}

TEST_F(RegistryWine, ConnectUsersReachesThisComputer) {
    win32::Win32System system;
    const std::string self = system.ComputerName();
    ASSERT_FALSE(self.empty());

    for (const std::string& machine : {self, "\\\\" + self, ToLower(self)}) {
        auto users = registry_.ConnectUsers(machine);
        ASSERT_TRUE(users) << machine;
        std::string first;
        EXPECT_EQ(platform::RegOk, users->EnumSubKey(0, first)) << machine;
        EXPECT_FALSE(first.empty());
    }
    EXPECT_FALSE(registry_.ConnectUsers(""));
    EXPECT_FALSE(registry_.ConnectUsers("updexar-no-such-machine"));
}

}  // namespace
}  // namespace updexar
