#include "authoring/package_checker.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>
#include <set>

#include "app/init_instance.h"
#include "checks/os_validation.h"
#include "launch/app_runner.h"
#include "launch/section_launcher.h"
#include "platform/sim/ansi_code_page.h"
#include "platform/sim/command_line.h"
#include "platform/sim/profile_listing.h"
#include "platform/sim/profile_reader.h"
#include "platform/sim/windows_path.h"
#include "plugin/update_driver_plugin.h"
#include "settings/ini_file.h"

namespace zq::sim {

namespace {

// Stands for the package folder while command lines are resolved: the
// launcher's current folder, which "%sourcepath%" and relative paths name.
// In lower case, so that it reads the same in a lowered command line.
constexpr wchar_t kPackageRoot[] = L"q:\\zq-package-root";
// How findings show the package folder.
constexpr wchar_t kShownRoot[] = L"<package folder>";
constexpr int kTextCount = 8;

std::string U8(WStringView text) { return Utf16ToUtf8(text); }
std::string Quoted(WStringView text) { return "\"" + U8(text) + "\""; }

bool StartsWithIgnoringCase(WStringView text, WStringView prefix) {
    return text.size() >= prefix.size() && EqualsIgnoringAsciiCase(text.substr(0, prefix.size()), prefix);
}

bool ContainsIgnoringCase(WStringView text, WStringView what) {
    return Contains(ToLowerAscii(text), ToLowerAscii(what));
}

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }
bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

// Whether a name ends in the extension of a file that CreateProcess runs.
bool HasProgramExtension(WStringView name) {
    for (WStringView extension : {L".exe", L".com", L".bat", L".cmd"}) {
        if (name.size() > extension.size() &&
            EqualsIgnoringAsciiCase(name.substr(name.size() - extension.size()), extension))
            return true;
    }
    return false;
}

// "1", "2", … as the launcher formats them: no sign, no leading zero.
bool IsListNumber(WStringView key) {
    if (key.empty() || key.size() > 9 || key.front() == L'0') return false;
    return std::all_of(key.begin(), key.end(), IsDigit);
}

// "0x" and four hexadecimal digits; the case of the letters does not
// matter, because key names are compared without regard to case.
bool IsLanguageKey(WStringView key) {
    if (key.size() != 6 || !EqualsIgnoringAsciiCase(key.substr(0, 2), L"0x")) return false;
    return std::all_of(key.begin() + 2, key.end(),
                       [](wchar_t c) { return IsDigit(c) || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F'); });
}

bool Is64BitEntry(const WString& entry) { return PlatformCodeOfEntry(entry) == kPlatform64; }

// Whether every character that makes the OS number is a digit.
bool BeginsWithThreeDigits(WStringView entry) {
    return entry.size() >= kOsNumberChars && std::all_of(entry.begin(), entry.begin() + kOsNumberChars, IsDigit);
}

// The Windows version that the launcher asks for with this entry (a
// 64-bit 501 is asked as 5.2).
std::string VersionOf(const WString& entry) {
    const VersionRequest asked = VersionRequestFor(OsNumberOfEntry(entry), PlatformCodeOfEntry(entry), 0, 0);
    return std::to_string(asked.major) + "." + std::to_string(asked.minor);
}

std::string TextPlace(int number) {
    switch (number) {
        case 1: return "the message box that refuses an unsupported Windows";
        case 2: return "the finish screen's headline";
        case 3: return "the finish screen's body text";
        case 4: return "the label of the finish screen's check box";
        case 5: return "the finish screen's hint";
        case 6: return "the finish screen's button";
        case 7: return "the caption of the copy dialog and of the finish screen";
        case 8: return "the message box that says the driver is not installed";
        default: return "";
    }
}

std::string JoinNumbers(const std::vector<WString>& keys) {
    std::string text;
    for (const WString& key : keys) text += (text.empty() ? "" : ", ") + U8(key);
    return text;
}

class Checker {
public:
    Checker(const std::string& bytes, const PackageEntryExists& exists, unsigned codePage)
        : bytes_(bytes), exists_(exists), codePage_(codePage), listing_(ListProfile(bytes, codePage)),
          root_(*ResolveWindowsPath(kPackageRoot, WindowsPath{})), run_(ProgramSectionFor(kPlatform32)),
          run64_(ProgramSectionFor(kPlatform64)) {}

    std::vector<Finding> Run() {
        CheckFileLayout();
        CheckCodePage();
        CheckLogLevel();
        CheckOsList();
        CheckServicePacks();
        CheckMagicKeywords();
        CheckRunSections();
        CheckOverrideSections();
        CheckPlugInDrivers();
        CheckLanguages();
        std::stable_sort(findings_.begin(), findings_.end(),
                         [](const Finding& a, const Finding& b) { return a.line < b.line; });
        return std::move(findings_);
    }

private:
    // ---- reading, as the launcher reads ----------------------------------

    std::optional<WString> Read(WStringView section, WStringView key) const {
        WString value = ReadProfileString(listing_, WString(section), WString(key), kReadFailed, kSettingsValueBuffer);
        if (value == kReadFailed) return std::nullopt;
        return value;
    }

    // GetNoOfKeys: 1, 2, … up to the first key that cannot be read.
    int ListCount(WStringView section) const {
        int count = 0;
        while (Read(section, std::to_wstring(count + 1))) ++count;
        return count;
    }

    const ProfileKeyLine* KeyLine(WStringView section, WStringView key) const {
        const ProfileSectionLines* lines = listing_.Find(section);
        return lines ? ProfileListing::FindKey(*lines, key) : nullptr;
    }

    int LineOf(WStringView section, WStringView key = {}) const {
        if (!key.empty()) {
            if (const ProfileKeyLine* line = KeyLine(section, key)) return line->line;
        }
        const ProfileSectionLines* lines = listing_.Find(section);
        return lines ? lines->line : 0;
    }

    // The section's name as the file spells it.
    WString Spelling(WStringView section) const {
        const ProfileSectionLines* lines = listing_.Find(section);
        return lines ? lines->name : WString(section);
    }

    void Add(WStringView section, WStringView key, int line, std::string code, std::string problem,
             std::string advice) {
        findings_.push_back({U8(section), U8(key), line, std::move(code), std::move(problem), std::move(advice)});
    }

    // Whether a path, seen from the package folder, names an existing file or
    // folder there; nullopt when it lies outside the package (not ours to say).
    std::optional<bool> ExistsInPackage(WStringView path, bool folder) const {
        std::optional<WindowsPath> resolved = ResolveWindowsPath(path, root_);
        if (!resolved || !IsSameOrBelow(*resolved, root_)) return std::nullopt;
        const auto rootDepth = static_cast<std::ptrdiff_t>(root_.components.size());
        std::vector<WString> below(resolved->components.begin() + rootDepth, resolved->components.end());
        return exists_(below, folder);
    }

    std::string Shown(WStringView resolved) const { return U8(ReplaceAll(resolved, kPackageRoot, kShownRoot)); }

    // ---- the code page ---------------------------------------------------

    // Windows reads a file without a byte-order mark in the computer's ANSI
    // code page; a byte that the page leaves undefined still reads as some
    // character, but never as the one the author typed.
    void CheckCodePage() {
        const bool hasUtf16Mark = bytes_.size() >= 2 && static_cast<unsigned char>(bytes_[0]) == 0xFF &&
                                  static_cast<unsigned char>(bytes_[1]) == 0xFE;
        if (hasUtf16Mark) return;
        const std::optional<std::size_t> at = DecodeAnsi(bytes_, codePage_).firstUndefinedAt;
        if (!at) return;
        const std::string page = std::to_string(codePage_);
        char byte[8];
        std::snprintf(byte, sizeof byte, "0x%02X", static_cast<unsigned char>(bytes_[*at]));
        Add(L"", L"", LineOfByte(*at), "not-in-code-page",
            "The file has no byte-order mark, so Windows reads it in the computer's ANSI code page, and byte " +
                std::string(byte) + " on this line is no character of code page " + page +
                ": the text around it will not read as written.",
            "Save the file in code page " + page +
                " (or check it with --code-page and the code page it was "
                "written in), or as UTF-16LE with its byte-order mark.");
    }

    // The 1-based line of a byte offset; CR LF, CR and LF each end a line.
    int LineOfByte(std::size_t offset) const {
        int line = 1;
        for (std::size_t i = 0; i < offset; ++i) {
            if (bytes_[i] == '\n' || (bytes_[i] == '\r' && (i + 1 >= bytes_.size() || bytes_[i + 1] != '\n'))) ++line;
        }
        return line;
    }

    // ---- the file as a whole ---------------------------------------------

    void CheckFileLayout() {
        if (listing_.startsWithUtf8Mark) {
            Add(L"", L"", 1, "utf8-bom",
                "The file starts with a UTF-8 byte-order mark: Windows reads its three bytes as characters of "
                "the first line, so a section header there is lost.",
                "Save the file as ANSI (code page 1252), or as UTF-16LE with its byte-order mark.");
        }
        for (const ProfileKeyLine& key : listing_.keysBeforeFirstSection) {
            Add(L"", key.key, key.line, "key-outside-section",
                "Key " + Quoted(key.key) +
                    " comes before the first section header and belongs to no section: "
                    "it is never read.",
                "Move it below the header of the section it belongs to.");
        }
        for (const ProfileSectionLines& section : listing_.sections) {
            if (section.shadowed) {
                Add(section.name, L"", section.line, "duplicate-section",
                    "[" + U8(section.name) +
                        "] appears a second time here: the launcher reads only the first "
                        "section of a name, so the keys below this header are never read.",
                    "Merge the two sections into one.");
                continue;
            }
            for (const ProfileKeyLine& key : section.keys) {
                if (key.shadowed) {
                    Add(section.name, key.key, key.line, "duplicate-key",
                        "Key " + Quoted(key.key) + " appears a second time in [" + U8(section.name) +
                            "]: only the first is read, this one never.",
                        "Keep one line for the key.");
                } else if (key.value.size() >= kSettingsValueBuffer) {
                    Add(section.name, key.key, key.line, "value-too-long",
                        "The value has " + std::to_string(key.value.size()) +
                            " characters; the launcher reads only the first " +
                            std::to_string(kSettingsValueBuffer - 1) + ".",
                        "Shorten the value to at most " + std::to_string(kSettingsValueBuffer - 1) + " characters.");
                }
            }
        }
    }

    void CheckLogLevel() {
        CheckKnownKeys(L"Version", {L"Log"});
        std::optional<WString> level = Read(L"Version", L"Log");
        if (!level) return;
        const int number = WToI(*level);
        if (number != 1 && number != 127 && number != 511) {
            Add(Spelling(L"Version"), L"Log", LineOf(L"Version", L"Log"), "log-level",
                "Log=" + U8(*level) + " is read as " + std::to_string(number) +
                    ", which is no log level: the log then has level 1.",
                "Use 1 (banner and verdicts), 127 (what is done and found) or 511 (everything).");
        }
    }

    void CheckKnownKeys(WStringView section, const std::vector<WString>& known) {
        const ProfileSectionLines* lines = listing_.Find(section);
        if (!lines) return;
        for (const ProfileKeyLine& key : lines->keys) {
            if (key.shadowed) continue;
            const bool isKnown = std::any_of(known.begin(), known.end(), [&](const WString& name) {
                return EqualsIgnoringAsciiCase(name, key.key);
            });
            if (!isKnown) {
                std::string names;
                for (const WString& name : known) names += (names.empty() ? "" : ", ") + U8(name);
                Add(lines->name, key.key, key.line, "unknown-key",
                    "The launcher reads no key " + Quoted(key.key) + " in [" + U8(lines->name) + "].",
                    "The keys of this section are " + names + "; check the spelling.");
            }
        }
    }

    // ---- supported systems -------------------------------------------------

    void CheckOsList() {
        const int line = LineOf(L"OS_Support", L"os_list");
        const WString section = Spelling(L"OS_Support");
        std::optional<WString> list = Read(L"OS_Support", L"os_list");
        if (!list || OsListEntries(*list).empty()) {
            Add(section, L"os_list", line, "os-list-missing",
                "No os_list entry is given: no Windows is supported, and every machine gets message 1.",
                "List the supported systems, such as os_list=501,502_64,600,600_64.");
            return;
        }
        for (const WString& entry : OsListEntries(*list)) {
            if (IsBlank(entry.front())) {
                Add(section, L"os_list", line, "os-entry-blank",
                    "Entry " + Quoted(entry) + " begins with a blank: only its first three characters count, " +
                        Quoted(entry.substr(0, kOsNumberChars)) + ", which name version " + VersionOf(entry) +
                        ", so the entry never matches.",
                    "Write the list without blanks after the commas, such as os_list=501,600_64.");
                continue;
            }
            if (!BeginsWithThreeDigits(entry)) {
                Add(section, L"os_list", line, "os-entry-not-digits",
                    "Entry " + Quoted(entry) +
                        " does not begin with three digits (major * 100 + minor), so it "
                        "never matches.",
                    "Write the version as three digits, such as 501 for 5.1 or 602 for 6.2 (Windows 8.1, 10 "
                    "and 11 report themselves as 6.2), and add _64 for 64-bit systems.");
                continue;
            }
            entries_.push_back(entry);
            const WStringView rest = WStringView(entry).substr(kOsNumberChars);
            if (!rest.empty() && rest != kEntry64Suffix) {
                Add(section, L"os_list", line, "os-entry-suffix",
                    "Entry " + Quoted(entry) + " has " + Quoted(rest) +
                        " after its three digits; only the first three characters and an exact \"_64\" at the "
                        "end count, so it is read as version " +
                        VersionOf(entry) + " for " + (Is64BitEntry(entry) ? "64" : "32") + "-bit systems.",
                    "Write three digits, followed by _64 for a 64-bit system and nothing else (no blanks).");
            }
        }
    }

    void CheckServicePacks() {
        CheckKnownKeys(L"OS_Support", {L"os_list", L"ServicePack_MajorVersion", L"ServicePack_MinorVersion"});
        for (const ProfileSectionLines& section : listing_.sections) {
            if (section.shadowed) continue;
            const bool common = EqualsIgnoringAsciiCase(section.name, L"OS_Support");
            if (!common && !StartsWithIgnoringCase(section.name, L"OS_Support.")) continue;
            if (!common) CheckKnownKeys(section.name, {L"ServicePack_MajorVersion", L"ServicePack_MinorVersion"});
            for (const WString key : {L"ServicePack_MajorVersion", L"ServicePack_MinorVersion"}) {
                std::optional<WString> value = Read(section.name, key);
                if (!value) continue;
                WStringView digits = *value;
                while (!digits.empty() && IsCWhiteSpace(digits.front())) digits.remove_prefix(1);
                if (!digits.empty() && std::all_of(digits.begin(), digits.end(), IsDigit)) continue;
                Add(section.name, key, LineOf(section.name, key), "not-a-number",
                    U8(key) + "=" + U8(*value) + " is not a number: the launcher reads it as " +
                        std::to_string(WToI(*value)) + ".",
                    "Write the service pack's number alone, such as 2.");
            }
        }
    }

    // ---- numbered lists ----------------------------------------------------

    // Keys that are not 1, 2, 3 …, and keys after a gap: neither is ever read.
    void CheckNumberedList(WStringView section) {
        const ProfileSectionLines* lines = listing_.Find(section);
        if (!lines) return;
        const int count = ListCount(section);
        std::vector<WString> unread;
        int firstUnreadLine = 0;
        for (const ProfileKeyLine& key : lines->keys) {
            if (key.shadowed) continue;
            if (!IsListNumber(key.key)) {
                Add(lines->name, key.key, key.line, "list-key-not-number",
                    "Key " + Quoted(key.key) + " is never read: [" + U8(lines->name) +
                        "] is a numbered list, read as the keys 1, 2, 3 …",
                    "Name the keys 1, 2, 3 … in order, without leading zeros.");
            } else if (std::stol(key.key) > count) {
                if (unread.empty()) firstUnreadLine = key.line;
                unread.push_back(key.key);
            }
        }
        if (!unread.empty()) {
            Add(lines->name, unread.front(), firstUnreadLine, "list-gap",
                "Key " + std::to_string(count + 1) + " is missing, so the list ends at " + std::to_string(count) +
                    ": key" + (unread.size() > 1 ? "s " : " ") + JoinNumbers(unread) +
                    (unread.size() > 1 ? " are" : " is") + " never read.",
                "Number the keys 1, 2, 3 … without a gap.");
        }
    }

    void CheckMagicKeywords() {
        CheckNumberedList(L"CPE.MagicKeywords");
        const int count = ListCount(L"CPE.MagicKeywords");
        if (count == 0) {
            Add(Spelling(L"CPE.MagicKeywords"), L"1", LineOf(L"CPE.MagicKeywords"), "magic-keywords-missing",
                "[CPE.MagicKeywords] has no key 1: no installed driver is ever found, and every machine with a "
                "supported Windows gets message 8.",
                "List texts that the installed driver's .inf file holds, as keys 1, 2, 3 …");
        }
        for (int i = 1; i <= count; ++i) {
            const WString key = std::to_wstring(i);
            if (Read(L"CPE.MagicKeywords", key)->empty()) {
                Add(Spelling(L"CPE.MagicKeywords"), key, LineOf(L"CPE.MagicKeywords", key), "magic-keyword-empty",
                    "Keyword " + U8(key) +
                        " is empty: an empty keyword is found in every file, so the driver "
                        "counts as installed on any machine that has an oem*.inf file.",
                    "Give the keyword a text that only the driver's .inf file holds, or remove it.");
            }
        }
    }

    // ---- programs ----------------------------------------------------------

    void CheckRunSections() {
        CheckNumberedList(run_);
        CheckNumberedList(run64_);
        CheckNumberedList(L"UpdateDrivers");
        const bool any32 =
            std::any_of(entries_.begin(), entries_.end(), [](const WString& e) { return !Is64BitEntry(e); });
        const bool any64 = std::any_of(entries_.begin(), entries_.end(), Is64BitEntry);
        const int line = LineOf(L"OS_Support", L"os_list");
        if (any32 && !listing_.Find(run_)) {
            Add(run_, L"", line, "run-missing",
                "os_list names 32-bit systems, but there is no [Run] section: on them nothing is installed.",
                "Add [Run] with the programs for 32-bit systems.");
        }
        if (any64 && !listing_.Find(run64_)) {
            Add(run64_, L"", line, "run-x64-missing",
                "os_list names 64-bit systems (\"_64\"), but there is no [Run.x64] section: on them nothing is "
                "installed.",
                "Add [Run.x64] with the programs for 64-bit systems.");
        }
        for (const WString& section : {run_, run64_}) {
            const int count = ListCount(section);
            for (int i = 1; i <= count; ++i) {
                const WString key = std::to_wstring(i);
                CheckCommandLine(Spelling(section), key, LineOf(section, key), *Read(section, key));
            }
        }
    }

    void CheckPlugInDrivers() {
        if (plugInLine_ != 0 && ListCount(L"UpdateDrivers") == 0) {
            Add(L"UpdateDrivers", L"1", LineOf(L"UpdateDrivers") ? LineOf(L"UpdateDrivers") : plugInLine_,
                "update-drivers-missing",
                "A \"lanpatch.exe\" entry re-creates the printers whose driver [UpdateDrivers] names, but "
                "[UpdateDrivers] has no key 1: no printer is re-created.",
                "List the printer driver names as the printers show them, such as 1=ZQ Merle 5400 Series.");
        }
    }

    void CheckCommandLine(const WString& section, const WString& key, int line, const WString& value) {
        const WString resolved = ResolveSourcePath(value, kPackageRoot);
        const ProgramEntry entry = ReadProgramEntry(resolved);
        if (ContainsIgnoringCase(resolved, kProgressMarker) && !entry.copyDialogWanted) {
            Add(section, key, line, "zqstage-case",
                "The entry holds \"zqstage\" in other letters: the copy dialog is shown only for \"zqstage\" in "
                "lower case.",
                "Write zqstage in lower case in the command line.");
        }
        if (ContainsIgnoringCase(value, kSourcePath) && !Contains(value, kSourcePath)) {
            Add(section, key, line, "sourcepath-case",
                "The placeholder is recognised only as \"%sourcepath%\" in lower case; here it stays as written.",
                "Write %sourcepath% in lower case.");
        }
        if (entry.runsPlugin) {
            CheckPlugInEntry(section, key, line, entry.lowered);
            return;
        }
        if (SourcePathHasArguments(value)) {
            const std::size_t first = value.find(kSourcePath);
            const bool twice = value.find(kSourcePath, first + WStringView(kSourcePath).size()) != WString::npos;
            Add(section, key, line, "sourcepath-arguments",
                twice ? "%sourcepath% is written twice: the launcher turns the value into " + Shown(resolved) +
                            "; Windows starts the first program, and the second path reaches it glued to the "
                            "program's name, with a stray double quote."
                      : "%sourcepath% is followed by arguments: the launcher turns the value into " + Shown(resolved) +
                            ", one quoted name with the arguments inside it, so the program "
                            "cannot start.",
                "Use %sourcepath% only for a program path with nothing after it; for a program with arguments "
                "write its path relative to the package folder, such as setup\\zqprep.exe /q.");
            return;
        }
        CheckProgramPath(section, key, line, resolved);
        CheckProgramExists(section, key, line, resolved);
    }

    // Which of the names that CreateProcess tries is the program the author
    // means: the first that the package has; else (outside the package the
    // checker cannot look) the first that ends in a program's extension
    // before an argument that is a switch; else the first.
    std::size_t MeantProgram(const WString& commandLine, const std::vector<ModuleCandidate>& candidates) const {
        for (std::size_t i = 0; i < candidates.size(); ++i) {
            if (ExistsInPackage(WithDefaultExtension(candidates[i].name), false).value_or(false)) return i;
        }
        for (std::size_t i = 0; i < candidates.size(); ++i) {
            if (HasProgramExtension(candidates[i].name)) return i;
            const std::size_t next = commandLine.find_first_not_of(L" \t", candidates[i].argumentsAt);
            if (next == WString::npos || commandLine[next] == L'/' || commandLine[next] == L'-') break;
        }
        return 0;
    }

    // The launcher runs elevated, so a program that Windows may find in
    // another place than the author's is a way in: an unquoted path with a
    // blank is tried at each blank first (C:\Program.exe before
    // C:\Program Files\...), and a bare name is searched in the launcher's
    // folder, the current folder and the system folders.
    void CheckProgramPath(const WString& section, const WString& key, int line, const WString& resolved) {
        const std::vector<ModuleCandidate> candidates = ModuleCandidates(resolved);
        if (candidates.empty()) return;
        const std::size_t meant = MeantProgram(resolved, candidates);
        const WString& program = candidates[meant].name;
        if (meant > 0) {
            std::string tried;
            for (std::size_t i = 0; i < meant; ++i) {
                tried += (tried.empty() ? "" : ", then ") + Shown(WithDefaultExtension(candidates[i].name));
            }
            Add(section, key, line, "program-path-unquoted-blank",
                "The program's path " + Quoted(program) +
                    " holds a blank and is not in double quotes: Windows "
                    "tries " +
                    tried +
                    " before it and runs the first that exists, with the launcher's "
                    "administrator rights, so a program put there runs in place of yours.",
                "Put the path in double quotes, such as \"" + U8(program) +
                    "\" and then the arguments, or write "
                    "it as %sourcepath% and its path in the package when nothing follows it.");
        }
        if (IsBareName(program)) {
            Add(section, key, line, "program-bare-name",
                Quoted(program) +
                    " is a bare program name: Windows searches for it in the launcher's folder, "
                    "the current folder and the system folders, and runs the first it finds with the launcher's "
                    "administrator rights.",
                "Write the program's path: %sourcepath% and its path in the package (such as "
                "%sourcepath%setup\\zqprep.exe), or its full path (such as C:\\Windows\\system32\\" +
                    U8(WithDefaultExtension(program)) + ").");
        }
    }

    // Whatever follows the first "%sourcepath%" ends up inside one pair of
    // quotes; blanks there are arguments unless the whole rest names an
    // existing file or folder of the package.
    bool SourcePathHasArguments(const WString& value) const {
        const std::size_t at = value.find(kSourcePath);
        if (at == WString::npos) return false;
        const WString rest = value.substr(at + WStringView(kSourcePath).size());
        if (Contains(rest, kSourcePath)) return true;
        if (std::none_of(rest.begin(), rest.end(), IsBlank)) return false;
        const WString path = WString(kPackageRoot) + L"\\" + rest;
        const bool exists = ExistsInPackage(path, false).value_or(false) ||
                            ExistsInPackage(WithDefaultExtension(path), false).value_or(false) ||
                            ExistsInPackage(path, true).value_or(false);
        return !exists;
    }

    // The program as CreateProcess finds it: a quoted first token, or the
    // first of the blank-separated prefixes that exists. Programs outside
    // the package, and bare names that the system's search may find, are
    // not the checker's to judge.
    void CheckProgramExists(const WString& section, const WString& key, int line, const WString& resolved) {
        const std::vector<ModuleCandidate> candidates = ModuleCandidates(resolved);
        if (candidates.empty()) {
            Add(section, key, line, "run-entry-empty", "The command line is empty: no program can start.",
                "Give the program's path, or remove the entry and renumber the keys after it.");
            return;
        }
        std::vector<std::string> tried;
        for (const ModuleCandidate& candidate : candidates) {
            const WString name = WithDefaultExtension(candidate.name);
            if (IsBareName(candidate.name) && !ExistsInPackage(name, false).value_or(false)) return;
            std::optional<bool> exists = ExistsInPackage(name, false);
            if (!exists) return;
            if (*exists) return;
            tried.push_back(Shown(name));
        }
        std::string names;
        for (const std::string& name : tried) names += (names.empty() ? "" : ", ") + name;
        Add(section, key, line, "program-missing",
            "No program of this command line exists in the package folder (tried " + names + ").",
            "Check the path and its spelling against the package's files; a path with blanks needs double "
            "quotes around it.");
    }

    // "lanpatch.exe" runs the printer update: the rest of the lower-cased
    // command line, trimmed, is the INF path handed to printui.
    void CheckPlugInEntry(const WString& section, const WString& key, int line, const WString& lowered) {
        if (plugInLine_ == 0) plugInLine_ = line;
        // The INF path as the printer update takes it: the quotes that
        // %sourcepath% or the author put around it come off.
        const WString inf = UnquotedInfPath(InfPathOfCommandLine(lowered));
        if (inf.empty()) {
            Add(section, key, line, "lanpatch-inf-missing",
                "No INF path follows \"lanpatch.exe\": the printer update has no driver to install.",
                "Write the driver's INF path after it, such as lanpatch.exe driver\\zqmerle.inf.");
            return;
        }
        if (Contains(inf, L"\"")) {
            Add(section, key, line, "lanpatch-inf-quoted",
                "The INF path " + Shown(inf) +
                    " holds a double quote inside it, which the printer set-up "
                    "tool's command line cannot carry: the printer update leaves every printer as it is.",
                "Write the INF path without quotes inside it, or wholly in one pair of double quotes.");
            return;
        }
        if (ExistsInPackage(inf, false) == false) {
            Add(section, key, line, "lanpatch-inf-missing",
                "The printer update's INF path \"" + Shown(inf) + "\"" +
                    " names no file in the package folder: no printer is re-created.",
                "Write the path of the driver's .inf file relative to the package folder, such as "
                "lanpatch.exe driver\\zqmerle.inf.");
        }
    }

    // ---- per-system override sections --------------------------------------

    const WString* FindEntry(WStringView name) const {
        for (const WString& entry : entries_) {
            if (EqualsIgnoringAsciiCase(entry, name)) return &entry;
        }
        return nullptr;
    }

    void CheckOverrideSections() {
        for (const ProfileSectionLines& section : listing_.sections) {
            if (section.shadowed) continue;
            const WString& name = section.name;
            if (EqualsIgnoringAsciiCase(name, run64_)) continue;
            // Every override of a section begins with its name for the
            // empty entry; Run.x64 is tried before Run, whose name it begins with.
            std::optional<WString> entry;
            WString base;  // empty for OS_Support
            for (const WString& overridden : {run64_, run_, WString(L"OS_Support")}) {
                const WString prefix = OverrideSectionName(overridden, L"");
                if (!StartsWithIgnoringCase(name, prefix)) continue;
                if (overridden != L"OS_Support") base = overridden;
                entry = name.substr(prefix.size());
                break;
            }
            if (!entry) continue;
            const WString* listed = FindEntry(*entry);
            if (!listed) {
                Add(name, L"", section.line, "override-unknown-entry",
                    "os_list names no entry " + Quoted(*entry) + ", so [" + U8(name) + "] is never read.",
                    "Name the section after an os_list entry exactly as the list writes it (such as " +
                        std::string(base == run64_ ? "Run.x64.600_64"
                                    : base.empty() ? "OS_Support.501"
                                                   : "Run.501") +
                        "), or remove it.");
            } else if (!base.empty() && ProgramSectionFor(PlatformCodeOfEntry(*listed)) != base) {
                const bool is64 = Is64BitEntry(*listed);
                Add(name, L"", section.line, "override-wrong-word-size",
                    U8(*listed) + " is a " + (is64 ? "64" : "32") + "-bit entry, whose programs come from [" +
                        (is64 ? "Run.x64" : "Run") + "]: [" + U8(name) + "] is never read.",
                    "Name the section [" + std::string(is64 ? "Run.x64." : "Run.") + U8(*listed) + "].");
            }
            if (!base.empty()) CheckOverrideKeys(section, base);
        }
    }

    // An override replaces entries of its base list; it cannot add any.
    void CheckOverrideKeys(const ProfileSectionLines& section, const WString& base) {
        const int count = ListCount(base);
        for (const ProfileKeyLine& key : section.keys) {
            if (key.shadowed) continue;
            if (!IsListNumber(key.key)) {
                Add(section.name, key.key, key.line, "list-key-not-number",
                    "Key " + Quoted(key.key) +
                        " is never read: an override section replaces the entries 1, 2, "
                        "3 … of [" +
                        U8(base) + "].",
                    "Use the number of the [" + U8(base) + "] entry that this value replaces.");
                continue;
            }
            if (std::stol(key.key) > count) {
                Add(section.name, key.key, key.line, "override-adds-entry",
                    "[" + U8(base) + "] has " + std::to_string(count) + " entr" + (count == 1 ? "y" : "ies") +
                        ": an override replaces entries, it never adds one, so key " + U8(key.key) + " is never read.",
                    "Add the entry to [" + U8(base) + "] as well; the override then replaces it on this system.");
                continue;
            }
            CheckCommandLine(section.name, key.key, key.line, *Read(section.name, key.key));
        }
    }

    // ---- texts -------------------------------------------------------------

    void CheckLanguages() {
        const ProfileSectionLines* map = listing_.Find(L"LangMap");
        if (!map || std::none_of(map->keys.begin(), map->keys.end(),
                                 [](const ProfileKeyLine& key) { return IsLanguageKey(key.key); })) {
            Add(map ? map->name : L"LangMap", L"", map ? map->line : 0, "langmap-missing",
                "There is no [LangMap] with a language: every message box is empty and the finish screen has no "
                "texts.",
                "Add [LangMap] with a line per language, such as 0x0409=English, and a section [English] with "
                "the texts 1 to 8.");
        }
        if (!map) return;
        std::set<WString> checked;
        for (const ProfileKeyLine& key : map->keys) {
            if (key.shadowed) continue;
            if (!IsLanguageKey(key.key)) {
                Add(map->name, key.key, key.line, "langmap-key-format",
                    "Key " + Quoted(key.key) +
                        " is never asked for: the launcher asks for \"0x\" and the four "
                        "hexadecimal digits of the user's language.",
                    "Write the language as 0x and four hexadecimal digits, such as 0x0409 for English (United "
                    "States) or 0x0407 for German.");
                continue;
            }
            const WString sectionName = Read(map->name, key.key).value_or(L"");
            const ProfileSectionLines* texts = listing_.Find(sectionName);
            if (!texts) {
                Add(map->name, key.key, key.line, "language-section-missing",
                    "[LangMap] sends language " + U8(key.key) + " to the section [" + U8(sectionName) +
                        "], which the file does not have: users of that language see empty texts.",
                    "Add the section [" + U8(sectionName) + "] with the texts 1 to 8, or correct the name.");
                continue;
            }
            if (!checked.insert(ToLowerAscii(texts->name)).second) continue;
            for (int number = 1; number <= kTextCount; ++number) {
                const WString textKey = std::to_wstring(number);
                if (Read(texts->name, textKey)) continue;
                Add(texts->name, textKey, texts->line, "language-text-missing",
                    "Text " + std::to_string(number) + " is missing: " + TextPlace(number) +
                        " is empty for users "
                        "whose language [LangMap] sends here.",
                    "Add " + std::to_string(number) + "=… to [" + U8(texts->name) + "].");
            }
        }
    }

    const std::string& bytes_;
    const PackageEntryExists& exists_;
    unsigned codePage_;
    ProfileListing listing_;
    WindowsPath root_;
    const WString run_;             // the programs for 32-bit entries
    const WString run64_;           // ... for 64-bit ones
    std::vector<WString> entries_;  // os_list entries that begin with three digits
    int plugInLine_ = 0;            // the first "lanpatch.exe" entry's line
    std::vector<Finding> findings_;
};

}  // namespace

std::vector<Finding> CheckSettingsFile(const std::string& fileBytes, const PackageEntryExists& exists,
                                       unsigned codePage) {
    return Checker(fileBytes, exists, codePage).Run();
}

}  // namespace zq::sim
