// The health-education pages on a real chart: the catalogue's popup chosen
// with a click over a hovered tooth, the page and the crop written into a
// page folder whose name lies outside the ANSI code page, and the shell.
#include "ChartTestHost.h"
#include "PopupDriver.h"
#include "WinTestUtil.h"

#include "analysis/FindingKind.h"
#include "foundation/SystemSetting.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace charttest;

namespace {

constexpr RECT HOST_RECT = {600, 300, 1000, 600};
// Outside every ANSI code page: the tooth emoji beside Chinese.
constexpr wchar_t PAGE_FOLDER[] = L"Health\\衛教 \U0001F9B7";
constexpr char PAGE_TEMPLATE[] = "\xEF\xBB\xBF<p>[%TOOTH_INFO%] \xE8\x99\x9F</p><img src=\"tooth_img01.jpg\" "
                                 "alt=\"[%TOOTH_INFO%]\">";
constexpr char CATALOGUE[] = "0;c;\xE8\x9B\x80\xE7\x89\x99;Health\\\xE8\xA1\x9B\xE6\x95\x99 \xF0\x9F\xA6\xB7;\r\n"
                             "1;p;Gums;https://example.org/gums;\r\n";

class HealthPageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        savedCaptureBar = g_systemSetting.captureBar;
        g_systemSetting.captureBar = false;
        host = std::make_unique<ChartHost>(HOST_RECT);
        ASSERT_TRUE(host->created);
        SetWindowPos(host->GetSafeHwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        const std::wstring image = folder.File(L"image.bmp");
        ASSERT_TRUE(WriteSolidImage(image, 800, 600, RGB(0x30, 0x60, 0x90)));
        ASSERT_TRUE(Chart().SetImageFiles({image}));
        // Tooth 36 over the chart's (100, 100)-(200, 200): image pixels twice that.
        Chart().displayedTeeth[ToothKey(0, 36)] = Tooth(36, FINDING_CAVITY, {200, 200, 400, 380});
        RECT client{};
        GetClientRect(Chart().GetSafeHwnd(), &client);
        Chart().UpdateLayout(&client);
        GetCurrentDirectoryW(MAX_PATH, previousFolder);
        SetCurrentDirectoryW(folder.Path().c_str());
        CreateDirectoryW(folder.File(L"Health").c_str(), nullptr);
        ASSERT_TRUE(CreateDirectoryW(folder.File(PAGE_FOLDER).c_str(), nullptr));
        testutil::WriteBytes(folder.File(L"Health\\items.dsc"), CATALOGUE);
        testutil::WriteBytes(PageFile(L"index.tpl"), PAGE_TEMPLATE);
    }
    void TearDown() override
    {
        host.reset();
        SetCurrentDirectoryW(previousFolder);
        g_systemSetting.captureBar = savedCaptureBar;
    }

    CToothStatic& Chart() { return host->chart; }
    std::wstring PageFile(const std::wstring& name) const { return folder.File(PAGE_FOLDER) + L"\\" + name; }

    // Hovers the tooth under `client` (or none) and chooses the catalogue
    // item at `choose` from the popup that opens at the pointer.
    std::vector<PopupItem> ChooseHealthItem(int choose, POINT client)
    {
        SendMessageW(Chart().GetSafeHwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(client.x, client.y));
        POINT screen = client;
        ClientToScreen(Chart().GetSafeHwnd(), &screen);
        SetCursorPos(screen.x, screen.y);
        PopupDriver driver(std::nullopt, choose);
        PostMessageW(Chart().GetSafeHwnd(), WM_COMMAND, ID_SHOW_HEALTH_MENU, 0);
        EXPECT_TRUE(driver.PumpUntilDone());
        EXPECT_TRUE(driver.opened);
        return driver.items;
    }

    testutil::ScratchFolder folder;
    std::unique_ptr<ChartHost> host;
    // Every shell call takes the default verb of the target's type.
    testutil::ShellRecorder shell;
    wchar_t previousFolder[MAX_PATH] = {};
    bool savedCaptureBar = false;
};

TEST_F(HealthPageTest, APageItemOverAHoveredToothWritesThePageAndTheCropBesideItAndOpensThePage)
{
    const std::vector<PopupItem> items = ChooseHealthItem(0, {150, 150});
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].text, L"蛀牙");
    EXPECT_EQ(items[0].command, UINT{ID_HEALTH_ITEM_FIRST});
    EXPECT_EQ(items[1].text, L"Gums");
    EXPECT_EQ(items[1].command, UINT{ID_HEALTH_ITEM_FIRST + 1});

    EXPECT_EQ(testutil::ReadBytes(PageFile(L"index.html")),
              "<p>36 \xE8\x99\x9F</p><img src=\"tooth_img01.jpg\" alt=\"36\">");
    Gdiplus::Bitmap crop(PageFile(L"tooth_img01.jpg").c_str());
    ASSERT_EQ(crop.GetLastStatus(), Gdiplus::Ok);
    EXPECT_EQ(crop.GetWidth(), 200u);
    EXPECT_EQ(crop.GetHeight(), 180u);
    GUID format{};
    crop.GetRawFormat(&format);
    EXPECT_TRUE(IsEqualGUID(format, Gdiplus::ImageFormatJPEG));
    ASSERT_EQ(shell.opened.size(), 1u);
    EXPECT_EQ(shell.opened[0], std::wstring(PAGE_FOLDER) + L"\\index.html");
}

TEST_F(HealthPageTest, AShellItemOpensItsTargetAndAPageItemWithoutAHoveredToothWritesNothing)
{
    ChooseHealthItem(1, {150, 150});
    ASSERT_EQ(shell.opened.size(), 1u);
    EXPECT_EQ(shell.opened[0], L"https://example.org/gums");

    ChooseHealthItem(0, {20, 20});
    EXPECT_EQ(shell.opened.size(), 1u);
    EXPECT_EQ(testutil::EntriesIn(folder.File(PAGE_FOLDER)), (std::set<std::wstring>{L"index.tpl"}));
}

TEST_F(HealthPageTest, ACropThatCannotBeMadeLeavesNoOlderCropBehindButThePageStillOpens)
{
    const struct {
        const char* name;
        bool withImage;
        RECT imageBox;
    } cases[] = {
        {"a box the image cannot supply", true, {700, 500, 900, 700}},
        {"no current image", false, {200, 200, 400, 380}},
    };
    for (const auto& c : cases) {
        shell.opened.clear();
        DeleteFileW(PageFile(L"index.html").c_str());
        // Left by an earlier page, of another tooth or patient.
        testutil::WriteBytes(PageFile(L"tooth_img01.jpg"), "another tooth's picture");
        if (!c.withImage) {
            // The picture went (a file that no longer loads); the teeth stay.
            Chart().image.reset();
            Chart().ForgetStretchedImage();
        }
        Chart().displayedTeeth[ToothKey(0, 36)].imageBox = c.imageBox;
        ChooseHealthItem(0, {150, 150});
        EXPECT_FALSE(testutil::FileExists(PageFile(L"tooth_img01.jpg"))) << c.name;
        EXPECT_EQ(testutil::ReadBytes(PageFile(L"index.html")),
                  "<p>36 \xE8\x99\x9F</p><img src=\"tooth_img01.jpg\" alt=\"36\">")
            << c.name;
        EXPECT_EQ(shell.opened.size(), 1u) << c.name;
    }
}

TEST_F(HealthPageTest, TheCatalogueIsReadOnceItHasItemsAndAgainWhileItHasNone)
{
    const struct {
        const char* step;
        const char* catalogue; // null: no file
        int appended;
    } steps[] = {
        {"no file", nullptr, 0},
        {"an empty file", "", 0},
        {"sixty-one items", nullptr, 61},
        {"read once: a later edit waits for the next start", "0;c;A;a;\n", 61},
    };
    std::string many;
    for (int i = 1; i <= 61; ++i) {
        many += "1;c;item" + std::to_string(i) + ";t;\n";
    }
    DeleteFileW(folder.File(L"Health\\items.dsc").c_str());
    for (const auto& s : steps) {
        if (s.catalogue != nullptr) {
            testutil::WriteBytes(folder.File(L"Health\\items.dsc"), s.catalogue);
        } else if (s.appended > 0) {
            testutil::WriteBytes(folder.File(L"Health\\items.dsc"), many);
        }
        HMENU menu = CreatePopupMenu();
        EXPECT_EQ(Chart().FillHealthMenu(menu), s.appended) << s.step;
        EXPECT_EQ(GetMenuItemCount(menu), s.appended) << s.step;
        if (s.appended == 61) {
            EXPECT_EQ(GetMenuItemID(menu, 59), UINT{ID_HEALTH_ITEM_LAST}) << s.step;
            EXPECT_EQ(GetMenuItemID(menu, 60), 0u) << s.step;
        }
        DestroyMenu(menu);
    }
}

} // namespace
