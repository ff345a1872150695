// Stored entry names: which may be written below the destination.
#include <gtest/gtest.h>

#include "tests/support/testenv.h"
#include "utility/base/archive/entrynames.h"

using vek::EntryName;

TEST(EntryNames, LeavingRenamedAndAcceptable) {
    const struct {
        const wchar_t* name;
        EntryName expected;
    } cases[] = {
        {L"readme.txt", EntryName::Acceptable},
        {L"bin/data/big.dat", EntryName::Acceptable},
        {L"中文目录/说明.txt", EntryName::Acceptable},
        {L".hidden", EntryName::Acceptable},
        {L"a.b.c", EntryName::Acceptable},
        {L"console.txt", EntryName::Acceptable},  // near misses of device names
        {L"nul_x.txt", EntryName::Acceptable},
        {L"com10.txt", EntryName::Acceptable},
        {L"com0", EntryName::Acceptable},
        {L"lpt", EntryName::Acceptable},
        {L"xcon/auxiliary/prnt", EntryName::Acceptable},
        {L"..data", EntryName::Acceptable},
        {L"", EntryName::LeavesDestination},
        {L"/etc/x", EntryName::LeavesDestination},
        {L"\\x", EntryName::LeavesDestination},
        {L"C:x", EntryName::LeavesDestination},
        {L"a.txt:stream", EntryName::LeavesDestination},
        {L"..", EntryName::LeavesDestination},
        {L"../x", EntryName::LeavesDestination},
        {L"a/../../x", EntryName::LeavesDestination},
        {L"a\\..\\x", EntryName::LeavesDestination},
        {L"nul/../x", EntryName::LeavesDestination},  // leaving outranks a device part
        {L"file.", EntryName::RenamedByWindows},
        {L"file ", EntryName::RenamedByWindows},
        {L"file. .", EntryName::RenamedByWindows},
        {L"dir./x", EntryName::RenamedByWindows},
        {L"dir /x", EntryName::RenamedByWindows},
        {L"./x", EntryName::RenamedByWindows},
        {L"a//b", EntryName::RenamedByWindows},
        {L"a/", EntryName::RenamedByWindows},
        {L"CON", EntryName::RenamedByWindows},
        {L"con", EntryName::RenamedByWindows},
        {L"Prn.txt", EntryName::RenamedByWindows},
        {L"aux.tar.gz", EntryName::RenamedByWindows},
        {L"nul.txt", EntryName::RenamedByWindows},
        {L"NUL .txt", EntryName::RenamedByWindows},
        {L"x/nul", EntryName::RenamedByWindows},
        {L"nul/x", EntryName::RenamedByWindows},
        {L"COM1", EntryName::RenamedByWindows},
        {L"com9.log", EntryName::RenamedByWindows},
        {L"com1.tar.gz", EntryName::RenamedByWindows},
        {L"LPT1", EntryName::RenamedByWindows},
        {L"lPt9.x", EntryName::RenamedByWindows},
        {L"COM\u00B9", EntryName::RenamedByWindows},
        {L"lpt\u00B3.txt", EntryName::RenamedByWindows},
        {L"conin$", EntryName::RenamedByWindows},
        {L"CONOUT$.x", EntryName::RenamedByWindows},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(vek::CheckEntryName(c.name), c.expected) << vektest::Utf8(c.name);
    }
}
