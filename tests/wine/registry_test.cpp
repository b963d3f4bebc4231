// IRegistry under HKLM\SOFTWARE\ZqTest, a key the test makes itself.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/win32/scoped_handle.h"
#include "platform/win32/win32_platform.h"
#include "tests/wine/wine_test_support.h"

namespace zq::win32 {
namespace {

const wchar_t kTestKey[] = L"SOFTWARE\\ZqTest";

std::vector<std::uint8_t> Utf16Bytes(const WString& text) {
    std::vector<std::uint8_t> bytes;
    for (wchar_t c : text) {
        bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>((c >> 8) & 0xFF));
    }
    return bytes;
}

class Win32RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, kTestKey);
        HKEY key = nullptr;
        ASSERT_EQ(
            ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kTestKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
        key_.Reset(key);
        const wchar_t folder[] = L"C:\\Program Files\\Zq";
        ASSERT_EQ(
            ::RegSetValueExW(key, L"InstallFolder", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder), sizeof folder),
            ERROR_SUCCESS);
        const DWORD worked = 1;
        ASSERT_EQ(::RegSetValueExW(key, L"Worked", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&worked), sizeof worked),
                  ERROR_SUCCESS);
    }
    void TearDown() override {
        key_.Reset();
        ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, kTestKey);
    }

    RegistryValue RawValue(const wchar_t* name) {
        RegistryValue value;
        DWORD type = 0;
        DWORD size = 0;
        EXPECT_EQ(::RegQueryValueExW(key_.Get(), name, nullptr, &type, nullptr, &size), ERROR_SUCCESS);
        value.type = type;
        value.data.resize(size);
        EXPECT_EQ(::RegQueryValueExW(key_.Get(), name, nullptr, &type, value.data.data(), &size), ERROR_SUCCESS);
        return value;
    }

    Win32Registry registry_;
    ScopedRegistryKey key_;
};

TEST_F(Win32RegistryTest, QueriesAStringWithItsTerminator) {
    auto key = registry_.OpenLocalMachineKey(kTestKey, RegistryAccess::Read, RegistryView::Default);
    ASSERT_NE(key, nullptr);
    const std::optional<RegistryValue> value = key->QueryValue(L"InstallFolder", 520);
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(value->type, kRegSz);
    EXPECT_EQ(value->data, Utf16Bytes(WString(L"C:\\Program Files\\Zq") + L'\0'));
}

TEST_F(Win32RegistryTest, QueriesADword) {
    auto key = registry_.OpenLocalMachineKey(kTestKey, RegistryAccess::Read, RegistryView::Default);
    ASSERT_NE(key, nullptr);
    const std::optional<RegistryValue> value = key->QueryValue(L"Worked", 4);
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(value->type, kRegDword);
    EXPECT_EQ(value->data, (std::vector<std::uint8_t>{1, 0, 0, 0}));
}

TEST_F(Win32RegistryTest, ValueLargerThanTheBufferIsNotRead) {
    auto key = registry_.OpenLocalMachineKey(kTestKey, RegistryAccess::Read, RegistryView::Default);
    ASSERT_NE(key, nullptr);
    const std::size_t exact = (std::wcslen(L"C:\\Program Files\\Zq") + 1) * 2;
    EXPECT_TRUE(key->QueryValue(L"InstallFolder", exact).has_value());
    EXPECT_FALSE(key->QueryValue(L"InstallFolder", exact - 1).has_value());
    EXPECT_FALSE(key->QueryValue(L"Worked", 3).has_value());
    EXPECT_FALSE(key->QueryValue(L"Worked", 0).has_value());
}

TEST_F(Win32RegistryTest, MissingValueOrKey) {
    auto key = registry_.OpenLocalMachineKey(kTestKey, RegistryAccess::Read, RegistryView::Default);
    ASSERT_NE(key, nullptr);
    EXPECT_FALSE(key->QueryValue(L"Missing", 520).has_value());
    EXPECT_EQ(registry_.OpenLocalMachineKey(L"SOFTWARE\\ZqTest\\Missing", RegistryAccess::Read, RegistryView::Default),
              nullptr);
}

TEST_F(Win32RegistryTest, OpenNeverCreatesAKey) {
    EXPECT_EQ(registry_.OpenLocalMachineKey(L"SOFTWARE\\ZqTest\\New", RegistryAccess::Write, RegistryView::Default),
              nullptr);
    HKEY probe = nullptr;
    EXPECT_EQ(::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\ZqTest\\New", 0, KEY_READ, &probe), ERROR_FILE_NOT_FOUND);
}

TEST_F(Win32RegistryTest, SetsStringsWithTheirTerminatorAndDwords) {
    auto key = registry_.OpenLocalMachineKey(kTestKey, RegistryAccess::Write, RegistryView::Default);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->SetString(L"SoftwareCUEContextID", L"USB\\VID_1234"), 0u);
    EXPECT_EQ(key->SetDword(L"AiODDPnPWorked", 0x01020304), 0u);

    const RegistryValue text = RawValue(L"SoftwareCUEContextID");
    EXPECT_EQ(text.type, static_cast<std::uint32_t>(REG_SZ));
    EXPECT_EQ(text.data, Utf16Bytes(WString(L"USB\\VID_1234") + L'\0'));
    const RegistryValue number = RawValue(L"AiODDPnPWorked");
    EXPECT_EQ(number.type, static_cast<std::uint32_t>(REG_DWORD));
    EXPECT_EQ(number.data, (std::vector<std::uint8_t>{4, 3, 2, 1}));
}

TEST_F(Win32RegistryTest, ReadAccessCannotSet) {
    auto key = registry_.OpenLocalMachineKey(kTestKey, RegistryAccess::Read, RegistryView::Default);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->SetDword(L"Worked", 2), kErrorAccessDenied);
}

// The registry views. On 64-bit Windows a 32-bit program's default view of
// HKLM\SOFTWARE is HKLM\SOFTWARE\Wow6432Node, the 64-bit flag reaches
// HKLM\SOFTWARE itself, and HKLM\SYSTEM is one key for both; on 32-bit
// Windows there is one view. The same key name is written in each view
// with a value of its own (32 and 64), then read through each view the
// launcher opens with.
void WriteViewMarker(const wchar_t* subKey, REGSAM view, DWORD marker) {
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, subKey, 0, nullptr, 0, KEY_WRITE | view, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ScopedRegistryKey owner(key);
    ASSERT_EQ(::RegSetValueExW(key, L"View", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&marker), sizeof marker),
              ERROR_SUCCESS);
}

std::optional<DWORD> ViewMarker(Win32Registry& registry, const wchar_t* subKey, RegistryView view) {
    auto key = registry.OpenLocalMachineKey(subKey, RegistryAccess::Read, view);
    if (key == nullptr) return std::nullopt;
    std::optional<RegistryValue> value = key->QueryValue(L"View", 4);
    if (!value || value->data.size() != 4) return std::nullopt;
    DWORD marker = 0;
    std::memcpy(&marker, value->data.data(), 4);
    return marker;
}

TEST(Win32RegistryViews, EachOpenReachesTheKeyOfItsView) {
    const bool split = test::IsSixtyFourBitWindows();
    const bool thirtyTwoBitProgram = sizeof(void*) == 4;
    struct Case {
        const wchar_t* subKey;
        RegistryView view;
        DWORD expected;
    };
    const Case cases[] = {
        {L"SOFTWARE\\ZqViewTest", RegistryView::Default, split && thirtyTwoBitProgram ? 32u : 64u},
        {L"SOFTWARE\\ZqViewTest", RegistryView::Force64, 64u},
        // Shared: the later write (64) is the one both views see.
        {L"SYSTEM\\ZqViewTest", RegistryView::Default, 64u},
        {L"SYSTEM\\ZqViewTest", RegistryView::Force64, 64u},
    };
    for (const wchar_t* subKey : {L"SOFTWARE\\ZqViewTest", L"SYSTEM\\ZqViewTest"}) {
        test::DeleteLocalMachineKeyInBothViews(subKey);
        WriteViewMarker(subKey, KEY_WOW64_32KEY, 32);
        WriteViewMarker(subKey, KEY_WOW64_64KEY, 64);
    }
    Win32Registry registry;
    for (const Case& c : cases) {
        EXPECT_EQ(ViewMarker(registry, c.subKey, c.view), std::optional<DWORD>(c.expected))
            << test::Narrow(c.subKey) << (c.view == RegistryView::Default ? " default view" : " 64-bit view")
            << (split ? " on 64-bit Windows" : " on 32-bit Windows");
    }
    for (const wchar_t* subKey : {L"SOFTWARE\\ZqViewTest", L"SYSTEM\\ZqViewTest"}) {
        test::DeleteLocalMachineKeyInBothViews(subKey);
    }
}

}  // namespace
}  // namespace zq::win32
