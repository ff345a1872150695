// Parsing of the installer's command line.
#include <gtest/gtest.h>

#include <optional>

#include "vekinstaller/commandline.h"

namespace {

struct Case {
    const wchar_t* commandLine;
    const wchar_t* key;
    std::optional<std::wstring> value;  // nullopt: key absent
};

const Case kCases[] = {
    {L"setup.exe /InstallSlience true", L"InstallSlience", L"true"},
    {L"setup.exe /InstallSlience \"true\"", L"InstallSlience", L"true"},
    {L"setup.exe /InstallSlience TRUE", L"InstallSlience", L"TRUE"},
    {L"setup.exe /installslience true", L"InstallSlience", std::nullopt},
    {L"setup.exe /InstallSlience", L"InstallSlience", L""},
    {L"setup.exe /InstallSlience ", L"InstallSlience", L""},
    // trimmed: space, tab, line breaks and every code up to 29; 30 and 31 stay
    {L"setup.exe /k \t value \r\n", L"k", L"value"},
    {L"setup.exe /k \x1d\x01value\x1e", L"k", L"value\x1e"},
    {L"setup.exe /k \x1fvalue", L"k", L"\x1fvalue"},
    // one quote alone, or quotes inside, stay
    {L"setup.exe /k \"", L"k", L"\""},
    {L"setup.exe /k a \"b\"", L"k", L"a \"b\""},
    {L"setup.exe /k \"\"", L"k", L""},
    // a slash always starts a new token
    {L"setup.exe /path C:/x/y", L"path", L"C:"},
    {L"setup.exe /path C:/x/y", L"x", L""},
    {L"setup.exe //k  v//", L"k", L"v"},
    // the value keeps inner spaces; the key ends at the first space
    {L"setup.exe /k a  b ", L"k", L"a  b"},
    // last key wins
    {L"setup.exe /k 1 /k 2", L"k", L"2"},
    {L"setup.exe /k 1 /k", L"k", L""},
    // the program path before the first slash is a token of its own
    {L"\"C:\\setup.exe\" /k v", L"\"C:\\setup.exe\"", L""},
    {L"C:\\my setup.exe /k v", L"C:\\my", L"setup.exe"},
};

}  // namespace

TEST(CommandLine, KeysAndValues) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(testing::Message() << "command line: " << testing::PrintToString(std::wstring(c.commandLine))
                                        << " key " << testing::PrintToString(std::wstring(c.key)));
        const CCommandLine commandLine(c.commandLine);
        std::wstring value = L"stale";
        EXPECT_EQ(commandLine.GetValue(c.key, value), c.value.has_value());
        EXPECT_EQ(value, c.value.value_or(L""));
    }
}

TEST(CommandLine, ListenerWindowReadsLeadingDecimalNumber) {
    const struct {
        const wchar_t* commandLine;
        ULONG_PTR handle;
    } cases[] = {
        {L"setup.exe /InstallListenWnd 12345", 12345},
        {L"setup.exe /InstallListenWnd 12ab", 12},
        {L"setup.exe /InstallListenWnd abc", 0},
        {L"setup.exe /InstallListenWnd", 0},
        {L"setup.exe", 0},
        {L"setup.exe /InstallListenWnd +77", 77},
        {L"setup.exe /InstallListenWnd \"4242\"", 4242},
        {L"setup.exe /InstallListenWnd 1 /InstallListenWnd 2", 2},
        {L"setup.exe /InstallListenWnd 4294967295", 4294967295u},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.commandLine)));
        EXPECT_EQ(reinterpret_cast<ULONG_PTR>(ListenerWindowFrom(CCommandLine(c.commandLine))), c.handle);
    }
}
