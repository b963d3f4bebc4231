// IRegistry under HKLM\SOFTWARE\ZqTest, a key the test makes itself, and
// the registry views.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/wine/support/wine_test_support.h"

namespace zq::win32 {
namespace {

const wchar_t kTestKey[] = L"SOFTWARE\\ZqTest";
const WString kFolder = L"C:\\Program Files\\Zq";

std::vector<std::uint8_t> Utf16z(const WString& text) {
    std::vector<std::uint8_t> bytes;
    for (wchar_t c : text + L'\0')
        bytes.insert(bytes.end(), {static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8)});
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
        const std::vector<std::uint8_t> folder = Utf16z(kFolder);
        const DWORD worked = 1;
        ASSERT_EQ(::RegSetValueExW(key, L"InstallFolder", 0, REG_SZ, folder.data(), static_cast<DWORD>(folder.size())),
                  ERROR_SUCCESS);
        ASSERT_EQ(::RegSetValueExW(key, L"Worked", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&worked), sizeof worked),
                  ERROR_SUCCESS);
    }
    void TearDown() override {
        key_.Reset();
        ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, kTestKey);
    }

    std::unique_ptr<IRegistryKey> Open(RegistryAccess access, const WString& subKey = kTestKey) {
        return registry_.OpenLocalMachineKey(subKey, access, RegistryView::Default);
    }

    Win32Registry registry_;
    ScopedRegistryKey key_;
};

// A value is read only when it fits the buffer the caller gives, its
// terminator included.
TEST_F(Win32RegistryTest, QueriesValuesThatFitTheBuffer) {
    auto key = Open(RegistryAccess::Read);
    ASSERT_NE(key, nullptr);
    const std::size_t exact = (kFolder.size() + 1) * 2;
    struct Row {
        const wchar_t* name;
        std::size_t bufferBytes;
        std::optional<RegistryValue> value;
    } rows[] = {
        {L"InstallFolder", 520, RegistryValue{kRegSz, Utf16z(kFolder)}},
        {L"InstallFolder", exact, RegistryValue{kRegSz, Utf16z(kFolder)}},
        {L"InstallFolder", exact - 1, std::nullopt},
        {L"Worked", 4, RegistryValue{kRegDword, {1, 0, 0, 0}}},
        {L"Worked", 3, std::nullopt},
        {L"Worked", 0, std::nullopt},
        {L"Missing", 520, std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(test::Narrow(row.name) + " in " + std::to_string(row.bufferBytes) + " bytes");
        const std::optional<RegistryValue> value = key->QueryValue(row.name, row.bufferBytes);
        ASSERT_EQ(value.has_value(), row.value.has_value());
        if (!value) continue;
        EXPECT_EQ(value->type, row.value->type);
        EXPECT_EQ(value->data, row.value->data);
    }
    EXPECT_EQ(Open(RegistryAccess::Read, L"SOFTWARE\\ZqTest\\Missing"), nullptr);
}

TEST_F(Win32RegistryTest, SetsStringsAndDwordsAndNeverCreatesAKey) {
    auto key = Open(RegistryAccess::Write);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->SetString(L"SoftwareCUEContextID", L"USB\\VID_1234"), 0u);
    EXPECT_EQ(key->SetDword(L"AiODDPnPWorked", 0x01020304), 0u);
    // Read back by the query tested above against values written raw.
    auto reader = Open(RegistryAccess::Read);
    const std::optional<RegistryValue> text = reader->QueryValue(L"SoftwareCUEContextID", 64);
    const std::optional<RegistryValue> number = reader->QueryValue(L"AiODDPnPWorked", 4);
    ASSERT_TRUE(text && number);
    EXPECT_EQ(text->type, kRegSz);
    EXPECT_EQ(text->data, Utf16z(L"USB\\VID_1234"));
    EXPECT_EQ(number->type, kRegDword);
    EXPECT_EQ(number->data, (std::vector<std::uint8_t>{4, 3, 2, 1}));
    EXPECT_EQ(reader->SetDword(L"Worked", 2), kErrorAccessDenied);
    EXPECT_EQ(Open(RegistryAccess::Write, L"SOFTWARE\\ZqTest\\New"), nullptr);
    HKEY probe = nullptr;
    EXPECT_EQ(::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\ZqTest\\New", 0, KEY_READ, &probe), ERROR_FILE_NOT_FOUND);
}

// On 64-bit Windows a 32-bit program's default view of HKLM\SOFTWARE is
// HKLM\SOFTWARE\Wow6432Node, the 64-bit flag reaches HKLM\SOFTWARE itself,
// and HKLM\SYSTEM is one key for both; 32-bit Windows has one view. The
// same key name is written in each view with a value of its own (32, then
// 64), then read through each view the launcher opens with.
TEST(Win32RegistryViews, EachOpenReachesTheKeyOfItsView) {
    const bool split = test::IsSixtyFourBitWindows() && sizeof(void*) == 4;
    const struct {
        const wchar_t* subKey;
        RegistryView view;
        DWORD expected;
    } cases[] = {
        {L"SOFTWARE\\ZqViewTest", RegistryView::Default, split ? 32u : 64u},
        {L"SOFTWARE\\ZqViewTest", RegistryView::Force64, 64u},
        {L"SYSTEM\\ZqViewTest", RegistryView::Default, 64u},  // shared: the later write
        {L"SYSTEM\\ZqViewTest", RegistryView::Force64, 64u},
    };
    for (const wchar_t* subKey : {L"SOFTWARE\\ZqViewTest", L"SYSTEM\\ZqViewTest"}) {
        test::DeleteLocalMachineKeyInBothViews(subKey);
        test::WriteLocalMachineString(subKey, L"View", L"32", KEY_WOW64_32KEY);
        test::WriteLocalMachineString(subKey, L"View", L"64", KEY_WOW64_64KEY);
    }
    Win32Registry registry;
    for (const auto& c : cases) {
        SCOPED_TRACE(test::Narrow(c.subKey) + (c.view == RegistryView::Default ? " default view" : " 64-bit view"));
        auto key = registry.OpenLocalMachineKey(c.subKey, RegistryAccess::Read, c.view);
        ASSERT_NE(key, nullptr);
        const std::optional<RegistryValue> value = key->QueryValue(L"View", 6);
        ASSERT_TRUE(value.has_value());
        EXPECT_EQ(value->data, Utf16z(std::to_wstring(c.expected)));
    }
    for (const wchar_t* subKey : {L"SOFTWARE\\ZqViewTest", L"SYSTEM\\ZqViewTest"})
        test::DeleteLocalMachineKeyInBothViews(subKey);
}

}  // namespace
}  // namespace zq::win32
