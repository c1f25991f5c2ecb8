// The order of script names: on Windows the user's locale (CompareStringW, case ignored), on
// POSIX its rule for names of digits, letters and "."; both agree on such names.
#include "host/platform/text.h"

#include <gtest/gtest.h>

namespace {

#if defined(_WIN32)
constexpr int kAccentedBeforeF = -1;  // the user's locale sorts "é" with the e's
#else
constexpr int kAccentedBeforeF = 1;  // bytes beyond ASCII after the letters
#endif

TEST(CompareNamesNoCase, DotBeforeDigitsBeforeLettersCaseIgnored) {
    struct Case {
        const char* a;
        const char* b;
        int sign;
    } cases[] = {
        {"2.1.dbql", "2.1.DBQL", 0},
        {"2.1.dbql", "2.1a.dbql", -1},
        {"2.10.dbql", "2.9.dbql", -1},
        {"10.dbql", "1a.dbql", -1},
        {"a.trgql", "B.trgql", -1},
        {"3.0.trcql", "3.0.dbql", 1},
        {"2.1.dbql", "2.1.dbql.", -1},
        {"", "0", -1},
        {"2014b.TRCQL", "2014b.trgql", -1},
        {"2014.dbql", "20140.dbql", -1},
        {"\xC3\xA9.dbql", "f.dbql", kAccentedBeforeF},
    };
    for (const Case& c : cases) {
        const int got = host::compareNamesNoCase(c.a, c.b);
        EXPECT_EQ((got > 0) - (got < 0), c.sign) << c.a << " vs " << c.b;
        const int back = host::compareNamesNoCase(c.b, c.a);
        EXPECT_EQ((back > 0) - (back < 0), -c.sign) << c.b << " vs " << c.a;
    }
}

}  // namespace
