#include <gtest/gtest.h>

#include "vekinstaller/commandline.h"

TEST(CommandLine, Smoke) {
    CCommandLine cl(L"prog.exe /InstallSlience true");
    std::wstring v;
    EXPECT_TRUE(cl.GetValue(L"InstallSlience", v));
    EXPECT_EQ(v, L"true");
}
