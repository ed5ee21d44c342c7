#include "toolkit/system/trace.h"

#include <string>

#include <gtest/gtest.h>

#include "tests/support/trace_listener.h"

TEST(Trace, LinesArriveUnadorned)
{
    TraceListener listener;
    ASSERT_TRUE(listener.ok()) << GetLastError();
    TraceOut("%s\n", "C:\\inst\\表\\100%d.dat");
    TraceOut("no line end %d", 7);
    const std::vector<std::string>& texts = listener.Stop();
    ASSERT_EQ(2u, texts.size());
    EXPECT_EQ("C:\\inst\\表\\100%d.dat\n", texts[0]);
    EXPECT_EQ("no line end 7", texts[1]);
}

TEST(Trace, LongTextIsCutAt1023Bytes)
{
    TraceListener listener;
    ASSERT_TRUE(listener.ok()) << GetLastError();
    std::string ascii(1500, 'a');
    std::string kanji;
    for (int i = 0; i < 600; i++)
        kanji += "ソ";
    TraceOut("%s\n", ascii.c_str());
    TraceOut("%s", kanji.c_str());
    const std::vector<std::string>& texts = listener.Stop();
    ASSERT_EQ(2u, texts.size());
    EXPECT_EQ(ascii.substr(0, 1023), texts[0]);
    EXPECT_EQ(kanji.substr(0, 1022), texts[1]);  // the 1,023rd byte would split ソ
}

TEST(Trace, SystemErrorsCarryTheSystemText)
{
    TraceListener listener;
    ASSERT_TRUE(listener.ok()) << GetLastError();
    TraceSystemError(ERROR_FILE_NOT_FOUND);
    TraceSystemError(0xE0FFFFFF);  // no text for it
    const std::vector<std::string>& texts = listener.Stop();
    ASSERT_EQ(2u, texts.size());
    char expected[1024] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   ERROR_FILE_NOT_FOUND, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), expected,
                   sizeof expected, nullptr);
    ASSERT_NE('\0', expected[0]);
    EXPECT_EQ(std::string("err:") + expected + "\n", texts[0]);
    EXPECT_EQ("err:3774873599\n", texts[1]);
}
