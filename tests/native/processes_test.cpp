// Process image paths and the window message before a process is ended.
#include <gtest/gtest.h>

#include <cwctype>

#include "tests/support/listener.h"
#include "tests/support/process.h"
#include "tests/support/testenv.h"
#include "utility/base/vekprocesstoolhelp.h"

using namespace vektest;

namespace {

std::wstring Lower(std::wstring text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

}  // namespace

TEST(ProcessImage, APathWithADriveLetter) {
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    const auto path = vek::ProcessImagePath(::GetCurrentProcessId());
    ASSERT_TRUE(path);
    EXPECT_EQ(Lower(*path), Lower(self));
    EXPECT_EQ(path->substr(1, 2), L":\\");

    TempDir dir;
    const std::wstring sleeper = dir / L"veknativeimage.exe";
    ::CopyFileW(BuildPath(L"veksleeper.exe").c_str(), sleeper.c_str(), FALSE);
    Started started = StartProcess(sleeper, L"600000");
    ASSERT_TRUE(started.process);
    const auto other = vek::ProcessImagePath(started.pid);
    EXPECT_TRUE(other && Lower(*other) == Lower(sleeper)) << (other ? Utf8(*other) : "none");
    ::TerminateProcess(started.process.get(), 0);
    WaitExit(started.process.get(), 10000);
    EXPECT_FALSE(vek::ProcessImagePath(99999999)) << "no such process";
}

TEST(EndProcess, PostsTheMessageThenEndsTheTarget) {
    ListenerWindow listener(WM_APP + 7, {}, L"VekNativeTaskKill");
    vek::WindowMessage message;
    message.className = L"VekNativeTaskKill";
    message.message = WM_APP + 7;
    message.wParam = 5;
    message.lParam = -3;
    vek::ProcessTarget nobody;
    nobody.name = L"vek-no-such-process.exe";
    EXPECT_TRUE(vek::EndProcess(nobody, message)) << "no process of that name: nothing to end";
    ASSERT_TRUE(Eventually([&] { return !listener.Received().empty(); }));
    const ReceivedMessage got = listener.Received().front();
    EXPECT_EQ(got.wParam, 5u);
    EXPECT_EQ(got.lParam, -3);

    TempDir dir;
    const std::wstring sleeper = dir / L"veknativeend.exe";
    ::CopyFileW(BuildPath(L"veksleeper.exe").c_str(), sleeper.c_str(), FALSE);
    Started started = StartProcess(sleeper, L"600000");
    ASSERT_TRUE(started.process);
    vek::ProcessTarget byName;
    byName.name = L"VEKNATIVEEND.EXE";
    EXPECT_TRUE(vek::EndProcess(byName));
    EXPECT_EQ(WaitExit(started.process.get(), 0), 0u) << "terminated with exit code 0";
    EXPECT_TRUE(vek::ProcessIdsByName(L"veknativeend.exe").empty());
}
