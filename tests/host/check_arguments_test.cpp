// The checker's look at the launcher command line that a package will be
// given (--check SETTINGS_FILE --args TEXT): the switches split as the
// launcher splits them, and what it would ignore or do unasked.
#include <gtest/gtest.h>

#include <sstream>

#include "authoring/argument_check.h"
#include "authoring/checker_report.h"

namespace zq::sim {
namespace {

std::vector<std::string> Codes(const std::vector<Finding>& findings) {
    std::vector<std::string> codes;
    for (const Finding& finding : findings) codes.push_back(finding.key + " " + finding.code);
    return codes;
}

TEST(CheckArguments, WhatTheLauncherWouldNotDoAsMeant) {
    // The argument text, and "switch code" of each finding.
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"", {}},
        {"-quiet -norestart -result \"C:\\ProgramData\\Zq\\result.json\"", {}},
        {"-QUIET -NORESTART -RESULT \\\\server\\share\\r.json -log 511 -f autorun.inf", {}},
        {"-quiet", {"-quiet quiet-restarts"}},
        {"-quiet -norestart -result result.json", {"-result result-path-relative"}},
        {"-quiet -norestart -result", {"-result switch-value-missing"}},
        {"-log -f", {"-log switch-value-missing", "-f switch-value-missing"}},
        {"-silent -norestart", {"-silent switch-unknown"}},
        {"/quiet /norestart", {"/quiet switch-slash", "/norestart switch-slash"}},
        {"-quiet -norestart -result C:\\drv-pack\\r.json", {}},
    };
    for (const auto& [text, codes] : cases) EXPECT_EQ(Codes(CheckLauncherArguments(Utf8ToUtf16(text))), codes) << text;
}

TEST(CheckArguments, ReportedAfterTheSettingsFile) {
    const std::filesystem::path settings =
        std::filesystem::path(ZQ_SOURCE_DIR) / "examples" / "package" / "autorun.inf";
    std::ostringstream out, err;
    EXPECT_EQ(RunCheck(settings, /*asJson=*/true, out, err, 1252, std::wstring(L"-quiet")), kCheckFoundSomething);
    const nlohmann::json report = nlohmann::json::parse(out.str());
    ASSERT_EQ(report["findings"].size(), 1u);
    EXPECT_EQ(report["findings"][0]["section"], "command line");
    EXPECT_EQ(report["findings"][0]["code"], "quiet-restarts");
    EXPECT_EQ(RunCheck(settings, false, out, err), kCheckClean) << "without --args, the file alone";
}

}  // namespace
}  // namespace zq::sim
