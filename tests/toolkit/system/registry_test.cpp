#include "toolkit/system/registry.h"

#include <string.h>

#include <string>

#include <gtest/gtest.h>

// Every test works below this key of its own, removed before and after.
static const char TestRoot[] = "Software\\UpdateToolkitTests";
static const std::string TestKey = std::string(TestRoot) + "\\Registry";

static bool KeyExists(const std::string& path)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// The raw data and type of a value, read past the code under test.
static bool RawValue(const std::string& path, const char* name, std::string* data, DWORD* type)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    char buf[1024];
    DWORD size = sizeof buf;
    LONG rc = RegQueryValueExA(key, name, nullptr, type, (BYTE*)buf, &size);
    RegCloseKey(key);
    data->assign(buf, rc == ERROR_SUCCESS ? size : 0);
    return rc == ERROR_SUCCESS;
}

class RegistryTest : public testing::Test {
protected:
    void SetUp() override
    {
        RegDeleteTreeA(HKEY_CURRENT_USER, TestRoot);
        SelectRegKey(TestKey.c_str());
        memset(buf, 0x5A, sizeof buf);
    }
    void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, TestRoot); }

    // True when buf still holds the sentinel bytes of SetUp.
    bool Untouched() const
    {
        for (char c : buf)
            if (c != 0x5A)
                return false;
        return true;
    }

    char buf[32];
};

TEST_F(RegistryTest, TextRoundTripsWithItsTerminator)
{
    std::string data;
    DWORD type = 0;
    EXPECT_EQ(0, WriteRegText("InstallDir", "C:\\表\\ソフト"));
    ASSERT_TRUE(RawValue(TestKey, "InstallDir", &data, &type));
    EXPECT_EQ((DWORD)REG_SZ, type);
    EXPECT_EQ(std::string("C:\\表\\ソフト", 13), data);  // terminator stored
    EXPECT_EQ(0, ReadRegText("InstallDir", buf, sizeof buf));
    EXPECT_STREQ("C:\\表\\ソフト", buf);

    EXPECT_EQ(0, WriteRegText("empty", ""));
    ASSERT_TRUE(RawValue(TestKey, "empty", &data, &type));
    EXPECT_EQ((DWORD)REG_SZ, type);
    EXPECT_EQ(std::string(1, '\0'), data);
    memset(buf, 0x5A, sizeof buf);
    EXPECT_EQ(0, ReadRegText("empty", buf, sizeof buf));
    EXPECT_STREQ("", buf);
}

TEST_F(RegistryTest, TextThatDoesNotFitLeavesTheDestinationUntouched)
{
    WriteRegText("text", "abcdef");
    EXPECT_EQ(ERROR_MORE_DATA, ReadRegText("text", buf, 6));
    EXPECT_EQ(ERROR_MORE_DATA, ReadRegText("text", buf, 0));
    EXPECT_TRUE(Untouched());
    EXPECT_EQ(0, ReadRegText("text", buf, 7));
    EXPECT_STREQ("abcdef", buf);
    EXPECT_EQ(0x5A, buf[7]);

    // Stored without a terminator: it still needs room for one.
    WriteRegBytes("bare", "abc", 3);
    memset(buf, 0x5A, sizeof buf);
    EXPECT_EQ(ERROR_MORE_DATA, ReadRegText("bare", buf, 3));
    EXPECT_TRUE(Untouched());
    EXPECT_EQ(0, ReadRegText("bare", buf, 4));
    EXPECT_STREQ("abc", buf);

    // Any stored type reads as text.
    WriteRegNumber("number", 0x00434241);
    EXPECT_EQ(0, ReadRegText("number", buf, sizeof buf));
    EXPECT_STREQ("ABC", buf);
}

TEST_F(RegistryTest, MissingKeyIsMinusOneMissingValueIsTwoAndReadersCreateNothing)
{
    std::string absent = TestKey + "\\absent\\deeper";
    SelectRegKey(absent.c_str());
    DWORD number = 77;
    EXPECT_EQ(-1, ReadRegText("v", buf, sizeof buf));
    EXPECT_EQ(-1, ReadRegBytes("v", buf, sizeof buf));
    EXPECT_EQ(-1, ReadRegNumber("v", &number));
    EXPECT_EQ(-1, EraseRegValue("v"));
    EXPECT_TRUE(Untouched());
    EXPECT_EQ(77u, number);
    EXPECT_FALSE(KeyExists(TestKey)) << "a reader created a key";

    SelectRegKey(TestKey.c_str());
    ASSERT_EQ(0, WriteRegText("other", "x"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, ReadRegText("v", buf, sizeof buf));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, ReadRegNumber("v", &number));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, EraseRegValue("v"));
    EXPECT_TRUE(Untouched());
    EXPECT_EQ(77u, number);
}

TEST_F(RegistryTest, WritersCreateMissingKeysAndReportFailures)
{
    std::string deep = TestKey + "\\a\\b\\c";
    SelectRegKey(deep.c_str());
    EXPECT_EQ(1, WriteRegNumber("n", 5));  // 1, where the other writers give 0
    EXPECT_TRUE(KeyExists(deep));
    SelectRegKey((TestKey + "\\d").c_str());
    EXPECT_EQ(0, WriteRegBytes("b", "x", 1));
    SelectRegKey((TestKey + "\\e").c_str());
    EXPECT_EQ(0, WriteRegText("t", "x"));
    EXPECT_TRUE(KeyExists(TestKey + "\\d") && KeyExists(TestKey + "\\e"));

    // The system refuses a value name past 16,383 characters: a failed store.
    std::string long_name(16384, 'v');
    EXPECT_EQ(0, WriteRegNumber(long_name.c_str(), 5));
    EXPECT_NE(0, WriteRegText(long_name.c_str(), "x"));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, WriteRegBytes("negative", "x", -1));
    std::string data;
    DWORD type;
    EXPECT_FALSE(RawValue(TestKey + "\\e", "negative", &data, &type));

    // The system refuses a key name past 255 characters: no key.
    SelectRegKey((std::string(TestRoot) + "\\" + std::string(256, 'k')).c_str());
    EXPECT_EQ(-1, WriteRegNumber("n", 5));
    EXPECT_EQ(-1, WriteRegText("t", "x"));
    EXPECT_EQ(-1, WriteRegBytes("b", "x", 1));
}

TEST_F(RegistryTest, NumbersAndBytesKeepTheirTypesButReadsDoNotCheckThem)
{
    std::string data;
    DWORD type = 0, number = 0;
    ASSERT_EQ(1, WriteRegNumber("dword", 0x12345678));
    ASSERT_TRUE(RawValue(TestKey, "dword", &data, &type));
    EXPECT_EQ((DWORD)REG_DWORD, type);
    EXPECT_EQ(4u, data.size());
    EXPECT_EQ(0, ReadRegNumber("dword", &number));
    EXPECT_EQ(0x12345678u, number);

    ASSERT_EQ(0, WriteRegBytes("four", "\x01\x02\x03\x04", 4));
    ASSERT_TRUE(RawValue(TestKey, "four", &data, &type));
    EXPECT_EQ((DWORD)REG_BINARY, type);
    EXPECT_EQ(0, ReadRegNumber("four", &number));
    EXPECT_EQ(0x04030201u, number);

    ASSERT_EQ(0, WriteRegBytes("five", "\x01\x02\x03\x04\x05", 5));
    EXPECT_EQ(ERROR_MORE_DATA, ReadRegNumber("five", &number));
    EXPECT_EQ(0, ReadRegBytes("five", buf, 5));
    EXPECT_EQ(0, memcmp(buf, "\x01\x02\x03\x04\x05", 5));
    EXPECT_EQ(0x5A, buf[5]);

    EXPECT_EQ(0, EraseRegValue("dword"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, EraseRegValue("dword"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, ReadRegNumber("dword", &number));
}

TEST_F(RegistryTest, OverlongSelectionSelectsNothingUntilTheNextOne)
{
    // Wine's ANSI registry calls take key paths of at most 260 characters
    // (longer ones fail with 234), so the longest path that works end to end
    // here is shorter than the 263 characters a selection may hold.
    std::string longest = TestKey + "\\" + std::string(260 - TestKey.size() - 1, 'k');
    SelectRegKey(longest.c_str());
    ASSERT_EQ(1, WriteRegNumber("n", 1));
    EXPECT_TRUE(KeyExists(longest));

    // Past 263 characters nothing is selected, not even a cut path.
    std::string too_long = longest + std::string(4, 'x');
    SelectRegKey(too_long.c_str());
    EXPECT_EQ(-1, WriteRegNumber("cut", 2));
    EXPECT_EQ(-1, WriteRegText("cut", "x"));
    EXPECT_EQ(-1, ReadRegText("n", buf, sizeof buf));
    EXPECT_EQ(-1, EraseRegValue("n"));
    EXPECT_TRUE(Untouched());
    std::string data;
    DWORD type;
    EXPECT_TRUE(RawValue(longest, "n", &data, &type));
    SelectSoftwareRegKey(too_long.substr(9).c_str());
    EXPECT_EQ(-1, WriteRegNumber("cut", 2));

    // "SoftWare\" takes 9 characters, and a valid selection works again.
    SelectSoftwareRegKey(longest.substr(9).c_str());
    EXPECT_EQ(0, ReadRegNumber("n", (DWORD*)buf));

    // The empty selection is the current user's key itself.
    SelectRegKey("");
    ASSERT_EQ(0, WriteRegText("UpdateToolkitTestsValue", "root"));
    EXPECT_TRUE(RawValue("", "UpdateToolkitTestsValue", &data, &type));
    EXPECT_EQ(0, EraseRegValue("UpdateToolkitTestsValue"));
}
