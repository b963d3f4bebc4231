// IRegistry under HKLM\SOFTWARE\ZqTest, a key the test makes itself, and
// the registry views.
#include <gtest/gtest.h>

#include "tests/wine/support/wine_test_support.h"

namespace zq::win32 {
namespace {

const wchar_t kTestKey[] = L"SOFTWARE\\ZqTest";
const WString kFolder = L"C:\\Program Files\\Zq";

std::vector<std::uint8_t> Utf16z(const WString& text) {
    const std::string bytes = StringToUtf16LeBytes(text + L'\0');
    return {bytes.begin(), bytes.end()};
}

// A value is read only when it fits the buffer the caller gives, its
// terminator included.
TEST(Win32Registry, QueriesValuesThatFitTheBuffer) {
    test::WriteLocalMachineString(kTestKey, L"InstallFolder", kFolder, 0);
    Win32Registry registry;
    auto writer = registry.OpenLocalMachineKey(kTestKey, RegistryAccess::Write, RegistryView::Default);
    ASSERT_NE(writer, nullptr);
    ASSERT_EQ(writer->SetDword(L"Worked", 1), 0u);
    writer.reset();
    auto key = registry.OpenLocalMachineKey(kTestKey, RegistryAccess::Read, RegistryView::Default);
    ASSERT_NE(key, nullptr);
    const std::size_t exact = (kFolder.size() + 1) * 2;
    const struct {
        const wchar_t* name;
        std::size_t bufferBytes;
        std::optional<RegistryValue> value;
    } rows[] = {
        {L"InstallFolder", exact, RegistryValue{kRegSz, Utf16z(kFolder)}},
        {L"InstallFolder", exact - 1, std::nullopt},
        {L"Worked", 4, RegistryValue{kRegDword, {1, 0, 0, 0}}},
        {L"Worked", 3, std::nullopt},
        {L"Missing", 520, std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(Utf16ToUtf8(row.name) + " in " + std::to_string(row.bufferBytes) + " bytes");
        const std::optional<RegistryValue> value = key->QueryValue(row.name, row.bufferBytes);
        ASSERT_EQ(value.has_value(), row.value.has_value());
        if (value) {
            EXPECT_EQ(std::pair(value->type, value->data), std::pair(row.value->type, row.value->data));
        }
    }
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
        test::WriteLocalMachineString(subKey, L"View", L"32", KEY_WOW64_32KEY);
        test::WriteLocalMachineString(subKey, L"View", L"64", KEY_WOW64_64KEY);
    }
    Win32Registry registry;
    for (const auto& c : cases) {
        SCOPED_TRACE(Utf16ToUtf8(c.subKey) + (c.view == RegistryView::Default ? " default view" : " 64-bit view"));
        auto key = registry.OpenLocalMachineKey(c.subKey, RegistryAccess::Read, c.view);
        ASSERT_NE(key, nullptr);
        const std::optional<RegistryValue> value = key->QueryValue(L"View", 6);
        ASSERT_TRUE(value.has_value());
        EXPECT_EQ(value->data, Utf16z(std::to_wstring(c.expected)));
    }
}

}  // namespace
}  // namespace zq::win32
