#include "toolkit/system/message_box.h"

#include <string>

#include <gtest/gtest.h>

#include "tests/support/box_watcher.h"

// Owner-window slot back to empty after each test.
class MessageBoxTest : public testing::Test {
protected:
    void TearDown() override { SetOwnerWindow(nullptr); }
};

TEST_F(MessageBoxTest, WarningIsOkOnlyInTheForeground)
{
    BoxWatcher watcher(IDOK);
    EXPECT_EQ(IDOK, ShowWarning(nullptr, "フォルダ[%s]が削除できません。", "C:\\data\\100%d"));
    ASSERT_EQ(1u, watcher.boxes.size());
    const SeenBox& box = watcher.boxes[0];
    EXPECT_EQ("警告", box.caption);
    // A "%d" brought in by a value is shown literally, not formatted again.
    EXPECT_EQ("フォルダ[C:\\data\\100%d]が削除できません。", box.text);
    EXPECT_EQ(nullptr, box.owner);
    EXPECT_EQ((DWORD)(MB_OK | MB_SETFOREGROUND), box.style);
    EXPECT_TRUE(box.ok_button);
    EXPECT_FALSE(box.cancel_button);
}

TEST_F(MessageBoxTest, OwnerFallsBackToTheSlot)
{
    HWND slot = CreateWindowExA(0, "STATIC", "slot", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                nullptr, nullptr);
    HWND given = CreateWindowExA(0, "STATIC", "given", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                 nullptr, nullptr);
    ASSERT_TRUE(slot && given) << GetLastError();
    SetOwnerWindow(slot);
    EXPECT_EQ(slot, GetOwnerWindow());
    {
        BoxWatcher watcher(IDOK);
        ShowWarning(nullptr, "a");
        ShowMessageBox(given, MB_OK, "c", "b");
        ASSERT_EQ(2u, watcher.boxes.size());
        EXPECT_EQ(slot, watcher.boxes[0].owner);
        EXPECT_EQ(given, watcher.boxes[1].owner);
    }
    DestroyWindow(given);
    DestroyWindow(slot);
}

TEST_F(MessageBoxTest, TypeBitsPassAndCancelIsReported)
{
    BoxWatcher watcher(IDCANCEL);
    EXPECT_EQ(IDCANCEL, AskOkCancel(nullptr, "確認", "続けますか %d", 3));
    EXPECT_EQ(IDCANCEL, ShowMessageBox(nullptr, MB_OKCANCEL | MB_ICONWARNING | MB_DEFBUTTON2 |
                                                    MB_SETFOREGROUND,
                                       "cap", "%s", "t"));
    ASSERT_EQ(2u, watcher.boxes.size());
    EXPECT_EQ("確認", watcher.boxes[0].caption);
    EXPECT_EQ("続けますか 3", watcher.boxes[0].text);
    EXPECT_EQ((DWORD)(MB_OKCANCEL | MB_SETFOREGROUND), watcher.boxes[0].style);
    EXPECT_TRUE(watcher.boxes[0].ok_button && watcher.boxes[0].cancel_button);
    EXPECT_EQ((DWORD)(MB_OKCANCEL | MB_ICONWARNING | MB_DEFBUTTON2 | MB_SETFOREGROUND),
              watcher.boxes[1].style);
}

TEST_F(MessageBoxTest, LongTextIsCutAt511BytesOnACharacterBoundary)
{
    std::string value;
    for (int i = 0; i < 400; i++)
        value += "表";  // 800 bytes
    BoxWatcher watcher(IDOK);
    ShowWarning(nullptr, "x%s", value.c_str());
    ShowWarning(nullptr, "%s", value.c_str());
    ASSERT_EQ(2u, watcher.boxes.size());
    EXPECT_EQ("x" + value.substr(0, 510), watcher.boxes[0].text);  // 511 bytes
    EXPECT_EQ(value.substr(0, 510), watcher.boxes[1].text);        // 511 would split 表
}

TEST_F(MessageBoxTest, AuxHandleIsItsOwnSlot)
{
    EXPECT_EQ(nullptr, GetAuxHandle());
    SetAuxHandle((HANDLE)0x1234);
    EXPECT_EQ((HANDLE)0x1234, GetAuxHandle());
    EXPECT_EQ(nullptr, GetOwnerWindow());
}
