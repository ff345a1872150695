// Registry writes and deletions of the native layer. HKEY_CURRENT_USER is
// redirected to a scratch key for the test process (RegOverridePredefKey),
// so even a deletion of the root's own keys stays inside the scratch key.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "utility/base/registry.h"

namespace {

const std::wstring kScratch = L"Native" + std::to_wstring(::GetCurrentProcessId());

class RedirectedUser : public ::testing::Test {
protected:
    void SetUp() override {
        // A real handle (an empty subkey may give the predefined one back).
        ASSERT_EQ(vek::CreateKey(HKEY_CURRENT_USER, L"Software\\VekTest", vekTest_), ERROR_SUCCESS);
        ASSERT_EQ(vek::CreateKey(vekTest_.get(), kScratch, scratch_), ERROR_SUCCESS);
        ASSERT_EQ(::RegOverridePredefKey(HKEY_CURRENT_USER, scratch_.get()), ERROR_SUCCESS);
    }
    void TearDown() override {
        ::RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        scratch_.reset();
        vek::DeleteKeyTree(vekTest_.get(), kScratch);
    }

    // A value as stored, read past the redirection.
    bool Stored(const std::wstring& subkey, const std::wstring& name, DWORD& type, std::vector<BYTE>& data) {
        DWORD size = 0;
        if (::RegGetValueW(scratch_.get(), subkey.c_str(), name.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &type, nullptr,
                           &size) != ERROR_SUCCESS)
            return false;
        data.resize(size);
        return ::RegGetValueW(scratch_.get(), subkey.c_str(), name.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &type,
                              data.data(), &size) == ERROR_SUCCESS;
    }
    bool KeyExists(HKEY root, const std::wstring& subkey) {
        vek::UniqueKey key;
        return ::RegOpenKeyExW(root, subkey.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
    }
    vek::Status Write(DWORD type, const std::wstring& text, uint32_t number = 0, bool overwrite = true) {
        vek::RegWrite write;
        write.root = HKEY_CURRENT_USER;
        write.subkey = L"Software\\Vek";
        write.name = L"v";
        write.type = type;
        write.text = text;
        write.number = number;
        write.overwrite = overwrite;
        write.caller = L"test";
        return vek::WriteRegValue(write);
    }

    vek::UniqueKey vekTest_, scratch_;
};

std::vector<BYTE> TextBytes(const std::wstring& text) {
    const BYTE* begin = reinterpret_cast<const BYTE*>(text.c_str());
    return std::vector<BYTE>(begin, begin + (text.size() + 1) * sizeof(wchar_t));
}

std::wstring Expanded(const wchar_t* text) {
    wchar_t buffer[MAX_PATH];
    ::ExpandEnvironmentStringsW(text, buffer, MAX_PATH);
    return buffer;
}

}  // namespace

TEST_F(RedirectedUser, WritesEachTypeAsTheScriptsGiveIt) {
    const struct {
        const char* label;
        DWORD type;
        std::wstring text;
        uint32_t number;
        std::vector<BYTE> stored;
    } cases[] = {
        {"string, expanded", REG_SZ, L"%SystemRoot%\\x", 0, TextBytes(Expanded(L"%SystemRoot%\\x"))},
        {"expandable string, as it is", REG_EXPAND_SZ, L"%SystemRoot%\\x", 0, TextBytes(L"%SystemRoot%\\x")},
        {"number, all bits", REG_DWORD, L"", 0xFFFFFFFFu, {0xFF, 0xFF, 0xFF, 0xFF}},
        {"binary, both letter cases", REG_BINARY, L"0aFf", 0, {0x0A, 0xFF}},
        {"binary, odd last digit", REG_BINARY, L"123", 0, {0x12, 0x03}},
        {"binary, empty", REG_BINARY, L"", 0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        ASSERT_TRUE(Write(c.type, c.text, c.number).ok);
        DWORD type = 0;
        std::vector<BYTE> data;
        ASSERT_TRUE(Stored(L"Software\\Vek", L"v", type, data)) << "written below the scratch key";
        EXPECT_EQ(type, c.type);
        EXPECT_EQ(data, c.stored);
    }
}

TEST_F(RedirectedUser, WhatIsNotWritten) {
    // Another type name creates the key and writes nothing.
    EXPECT_TRUE(Write(REG_NONE, L"x").ok);
    EXPECT_TRUE(KeyExists(scratch_.get(), L"Software\\Vek"));
    DWORD type = 0;
    std::vector<BYTE> data;
    EXPECT_FALSE(Stored(L"Software\\Vek", L"v", type, data));

    // A string that expands beyond the limit is refused, not cut.
    const vek::Status tooLong = Write(REG_SZ, std::wstring(MAX_PATH, L'x'));
    EXPECT_FALSE(tooLong.ok);
    EXPECT_EQ(tooLong.error, static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_FALSE(Stored(L"Software\\Vek", L"v", type, data));

    // Without overwrite an existing value stays; with it, it is replaced.
    ASSERT_TRUE(Write(REG_DWORD, L"", 1).ok);
    EXPECT_TRUE(Write(REG_DWORD, L"", 2, false).ok);
    ASSERT_TRUE(Stored(L"Software\\Vek", L"v", type, data));
    EXPECT_EQ(data[0], 1);
    EXPECT_TRUE(Write(REG_DWORD, L"", 3, true).ok);
    ASSERT_TRUE(Stored(L"Software\\Vek", L"v", type, data));
    EXPECT_EQ(data[0], 3);

    // No root: the error of an unopenable key.
    vek::RegWrite noRoot;
    noRoot.subkey = L"Software\\Vek";
    noRoot.type = REG_DWORD;
    EXPECT_EQ(vek::WriteRegValue(noRoot).error, static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(RedirectedUser, ValueDeletionTreatsWhatIsGoneAsDone) {
    ASSERT_TRUE(Write(REG_DWORD, L"", 1).ok);
    EXPECT_TRUE(vek::DeleteRegValue(L"HKCU", L"Software\\Vek", L"v").ok);
    DWORD type = 0;
    std::vector<BYTE> data;
    EXPECT_FALSE(Stored(L"Software\\Vek", L"v", type, data));
    EXPECT_TRUE(vek::DeleteRegValue(L"HKCU", L"Software\\Vek", L"v").ok) << "value already gone";
    EXPECT_TRUE(vek::DeleteRegValue(L"HKCU", L"Software\\Missing", L"v").ok) << "key not there";
    EXPECT_FALSE(vek::DeleteRegValue(L"hkcu", L"Software\\Vek", L"v").ok) << "root names are exact";
    EXPECT_TRUE(KeyExists(scratch_.get(), L"Software\\Vek")) << "the key itself stays";
}

TEST_F(RedirectedUser, TreeDeletionTakesEveryLevelAndNothingBeside) {
    for (const wchar_t* key : {L"Software\\Tree\\A\\A1\\deep", L"Software\\Tree\\A\\A2", L"Software\\Tree\\B",
                               L"Software\\Sibling"}) {
        vek::UniqueKey created;
        ASSERT_EQ(vek::CreateKey(HKEY_CURRENT_USER, key, created), ERROR_SUCCESS);
    }
    EXPECT_TRUE(vek::DeleteRegTree(L"HKCU", L"Software\\Tree").ok);
    EXPECT_FALSE(KeyExists(scratch_.get(), L"Software\\Tree"));
    EXPECT_TRUE(KeyExists(scratch_.get(), L"Software\\Sibling"));

    const vek::Status gone = vek::DeleteRegTree(L"HKCU", L"Software\\Tree");
    EXPECT_TRUE(gone.ok) << "deleting what is gone is done";
    EXPECT_TRUE(gone.NotFound());
    EXPECT_FALSE(vek::DeleteRegTree(L"HKXX", L"Software\\Sibling").ok);

    // The root's own "Software" goes only below the scratch key.
    EXPECT_TRUE(vek::DeleteRegTree(L"HKCU", L"Software").ok);
    EXPECT_FALSE(KeyExists(scratch_.get(), L"Software"));
    EXPECT_TRUE(KeyExists(vekTest_.get(), kScratch)) << "the real keys stay";
}
