// What the native layer tells about the system and this program.
#include <gtest/gtest.h>

#include "tests/support/testenv.h"
#include "utility/base/paths.h"
#include "utility/base/system.h"

using namespace vektest;

TEST(System, CommandLineVersionAndProgramFiles) {
    const auto argv = vek::CommandLineArguments();
    ASSERT_TRUE(argv);
    ASSERT_FALSE(argv->empty());
    EXPECT_NE(argv->front().find(L"vek_native_tests"), std::wstring::npos) << Utf8(argv->front());

    EXPECT_GE(vek::OsMajorVersion(), 5u);
    EXPECT_EQ(vek::IsWow64(), sizeof(void*) == 4 && Exists(L"C:\\Windows\\SysWOW64"));

    std::wstring programFiles;
    ASSERT_TRUE(vek::ExpandPath(L"%ProgramFiles%\\", programFiles));
    const std::wstring found = vek::DriverInstallPath();
    EXPECT_EQ(found.back(), L'\\');
    EXPECT_EQ(found.substr(1), programFiles.substr(1)) << "the same folder, on this or a later fixed drive";
    EXPECT_TRUE(Exists(found));
}
