#include "app/command_line.h"

#include <gtest/gtest.h>

#include <vector>

namespace zq {
namespace {

// Every row is a regression row: keep them when the split changes.
TEST(SplitSwitches, Table) {
    struct Case {
        const char* why;
        WString argumentText;
        std::vector<WString> expected;  // name, value, ...; the last switch of the line first
    } cases[] = {
        {"quoted path and a level",
         L"-f \"C:\\Pkg\\My Setup.inf\" -log 511",
         {L"-log", L"511", L"-f", L"\"c:\\pkg\\my setup.inf\""}},
        {"a dash inside a path starts no switch", L"-f c:\\drv-pack\\a.inf", {L"-f", L"c:\\drv-pack\\a.inf"}},
        {"a dash after a blank inside quotes starts no switch",
         L"-f \"c:\\my -dir\\a.inf\"",
         {L"-f", L"\"c:\\my -dir\\a.inf\""}},
        {"upper case is lowered", L"-F X.INF", {L"-f", L"x.inf"}},
        {"two -f switches", L"-f a.inf -f b.inf", {L"-f", L"b.inf", L"-f", L"a.inf"}},
        {"a lone switch", L"-log", {L"-log", L""}},
        {"no dash at all", L"/f a.inf", {}},
        {"no arguments", L"", {}},
        {"text before the first switch is ignored", L"setup -log 127", {L"-log", L"127"}},
        {"a tab does not split switch from value", L"-log\t511", {L"-log\t511", L""}},
        {"white space around both parts", L"  -f   a.inf   ", {L"-f", L"a.inf"}},
        {"a dash after a tab starts a switch", L"-f a.inf\t-log 1", {L"-log", L"1", L"-f", L"a.inf"}},
        {"value keeps inner blanks", L"-f a b c", {L"-f", L"a b c"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        const SwitchPairs pairs = SplitSwitches(c.argumentText);
        std::vector<WString> actual;
        for (int i = 0; i < pairs.count; ++i) actual.insert(actual.end(), {pairs.names[i], pairs.values[i]});
        EXPECT_EQ(actual, c.expected);
    }
}

TEST(SplitSwitches, KeepsOnlyTheLastThirtySwitches) {
    WString text;
    for (int i = 0; i < 35; ++i) text += Format(L"-s%d v%d ", i, i);
    SwitchPairs pairs = SplitSwitches(text);
    ASSERT_EQ(pairs.count, kMaxSwitches);
    EXPECT_EQ(pairs.names[0], L"-s34");
    EXPECT_EQ(pairs.values[0], L"v34");
    EXPECT_EQ(pairs.names[29], L"-s5");
}

}  // namespace
}  // namespace zq
