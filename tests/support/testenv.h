// Where the tests find the programs under test, and scratch folders.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace vektest {

// An installer built by the packager for the tests (installers/<name>.exe).
std::wstring InstallerPath(const std::wstring& name);
// A program built beside the test programs (helpers, the shipped installer).
std::wstring BuildPath(const std::wstring& relative);
// A product file built for the payload (build/<arch>/product/<name>).
std::wstring ProductPath(const std::wstring& name);
// A file of the payload folder as the installer packs it (build/<arch>/payload/<name>).
std::wstring PayloadPath(const std::wstring& name);
// The folder of the running test program.
std::wstring TestBinDir();

// A fresh folder under %TEMP%, removed with everything in it at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::wstring& path() const { return path_; }
    std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

void RemoveTree(const std::wstring& path);

// veksleeper.exe copied into `dir` under a name of the test's own, so that
// its processes can be found by name.
std::wstring CopyOfSleeper(const TempDir& dir, const std::wstring& name);
std::wstring TempFolder();  // GetTempPathW with a trailing backslash

std::string ReadBytes(const std::wstring& path);
bool WriteBytes(const std::wstring& path, const std::string& bytes);
std::vector<std::string> ReadLines(const std::wstring& path);  // without line ends
bool Exists(const std::wstring& path);

std::string Utf8(const std::wstring& text);
std::wstring Wide(const std::string& utf8);
// A Windows path as a Lua string literal (backslashes doubled), UTF-8.
std::string LuaQuote(const std::wstring& path);

// Polls `done` for up to `ms`: for effects of processes that give no signal
// to wait on.
template <typename Done>
bool Eventually(Done done, DWORD ms = 10000) {
    for (ULONGLONG end = ::GetTickCount64() + ms; ::GetTickCount64() < end; ::Sleep(100)) {
        if (done()) return true;
    }
    return done();
}

}  // namespace vektest
