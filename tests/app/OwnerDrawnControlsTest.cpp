// The image button and the transparent check box under Wine: real template
// controls subclassed through the window layer, their parent reflecting the
// drawing and colour messages, read back from the drawn pixels.
#include "app/ImageButton.h"
#include "app/TransCheckBox.h"

#include "WinTestUtil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>

namespace {

constexpr wchar_t kParentClass[] = L"QuillmereOwnerDrawnTest";
constexpr UINT kControlId = 4;
constexpr int kButtonWidth = 64;
constexpr int kButtonHeight = 32;
// In a corner, away from the dialogs that other window tests centre on the
// screen, so that the pointer moved by the hover test meets only this window.
constexpr RECT kParentRect{20, 740, 220, 840};

// The colours of the four state images.
constexpr uint32_t kNormal = 0xC00000;
constexpr uint32_t kHighlight = 0x00C000;
constexpr uint32_t kClick = 0x0000C0;
constexpr uint32_t kDisable = 0x808080;

// A parent that paints itself in one colour and erases its owner-drawn
// buttons with it too.
class Parent : public CWnd {
public:
    explicit Parent(COLORREF background) : brush(CreateSolidBrush(background)) {}
    ~Parent() override { DeleteObject(brush); }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        switch (message) {
        case WM_ERASEBKGND: {
            RECT client;
            GetClientRect(hwnd, &client);
            FillRect(reinterpret_cast<HDC>(wParam), &client, brush);
            return TRUE;
        }
        case WM_CTLCOLORBTN:
            return reinterpret_cast<LRESULT>(brush);
        default:
            return CWnd::WindowProc(message, wParam, lParam);
        }
    }

private:
    HBRUSH brush;
};

class CountingImageButton : public CImageButton {
public:
    int draws = 0;
    int hovers = 0;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        hovers += message == WM_MOUSEHOVER ? 1 : 0;
        return CImageButton::WindowProc(message, wParam, lParam);
    }

    void DrawItem(const DRAWITEMSTRUCT& item) override
    {
        ++draws;
        CImageButton::DrawItem(item);
    }
};

uint32_t Rgb(COLORREF colour)
{
    return (static_cast<uint32_t>(GetRValue(colour)) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
}

void MovePointerTo(POINT screen)
{
    const int left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    const int top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = (screen.x - left) * 65535 / (GetSystemMetrics(SM_CXVIRTUALSCREEN) - 1);
    input.mi.dy = (screen.y - top) * 65535 / (GetSystemMetrics(SM_CYVIRTUALSCREEN) - 1);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK;
    SendInput(1, &input, sizeof(input));
}

class OwnerDrawnControlsTest : public testing::Test {
protected:
    static constexpr COLORREF kBackground = RGB(30, 40, 70);

    void SetUp() override
    {
        // The pointer must not wander over the window and hover a button.
        MovePointerTo({0, 0});
        ASSERT_TRUE(CWnd::RegisterWindowClass(kParentClass));
        ASSERT_TRUE(
            parent.CreateEx(WS_EX_TOPMOST, kParentClass, L"owner-drawn", WS_POPUP | WS_VISIBLE, kParentRect, nullptr));
        const std::array<std::pair<int, uint32_t>, 4> images{{{CImageButton::Normal, kNormal},
                                                              {CImageButton::Highlight, kHighlight},
                                                              {CImageButton::Click, kClick},
                                                              {CImageButton::Disable, kDisable}}};
        for (const auto& [state, colour] : images) {
            imagePaths[state] = SolidImage(state, colour);
        }
    }

    std::wstring SolidImage(int state, uint32_t colour) const
    {
        Gdiplus::Bitmap bitmap(kButtonWidth, kButtonHeight, PixelFormat24bppRGB);
        Gdiplus::Graphics(&bitmap).Clear(Gdiplus::Color(0xFF000000 | colour));
        const std::wstring path = folder.File(L"state" + std::to_wstring(state) + L".bmp");
        EXPECT_TRUE(testutil::SaveBitmapAs(bitmap, path, L"image/bmp"));
        return path;
    }

    HWND MakeControl(const wchar_t* text, DWORD style, int width, int height)
    {
        return CreateWindowExW(0, L"Button", text, WS_CHILD | WS_VISIBLE | style, 10, 10, width, height,
                               parent.GetSafeHwnd(), reinterpret_cast<HMENU>(static_cast<UINT_PTR>(kControlId)),
                               GetModuleHandleW(nullptr), nullptr);
    }

    // Binds `button` to a new owner-drawn button with the images of `states`.
    void MakeButton(CImageButton& button, std::initializer_list<int> states)
    {
        ASSERT_NE(MakeControl(L"Load", BS_OWNERDRAW | WS_TABSTOP, kButtonWidth, kButtonHeight), nullptr);
        ASSERT_TRUE(button.SubclassDlgItem(kControlId, &parent));
        for (const int state : states) {
            button.SetStateImage(state, imagePaths[state].c_str());
        }
        RedrawWindow(parent.GetSafeHwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
        UpdateWindow(parent.GetSafeHwnd());
    }

    // The colours seen inside the control, a margin left out.
    static std::vector<uint32_t> Inner(HWND control)
    {
        int width = 0;
        int height = 0;
        const std::vector<uint32_t> pixels = testutil::ReadClientPixels(control, &width, &height);
        std::vector<uint32_t> inner;
        for (int y = 2; y < height - 2; ++y) {
            for (int x = 2; x < width - 2; ++x) {
                inner.push_back(pixels[static_cast<size_t>(y) * width + x]);
            }
        }
        return inner;
    }

    static bool AllAre(const std::vector<uint32_t>& pixels, uint32_t colour)
    {
        return !pixels.empty() && std::all_of(pixels.begin(), pixels.end(), [&](uint32_t p) { return p == colour; });
    }

    testutil::ScratchFolder folder;
    Parent parent{kBackground};
    std::array<std::wstring, 4> imagePaths;
};

TEST_F(OwnerDrawnControlsTest, EachStateCombinationDrawsItsImage)
{
    struct Case {
        bool disabled;
        bool pressed;
        bool hovered;
        bool focused;
        uint32_t expected;
    };
    // Disabling takes the focus away, so the disabled rows check that the
    // Disable image wins over whatever else the button went through.
    const Case cases[] = {
        {false, false, false, false, kNormal},   {false, false, false, true, kHighlight},
        {false, false, true, false, kHighlight}, {false, false, true, true, kHighlight},
        {false, true, false, false, kClick},     {false, true, false, true, kClick},
        {false, true, true, false, kClick},      {false, true, true, true, kClick},
        {true, false, false, false, kDisable},   {true, false, false, true, kDisable},
        {true, false, true, false, kDisable},    {true, false, true, true, kDisable},
        {true, true, false, false, kDisable},    {true, true, false, true, kDisable},
        {true, true, true, false, kDisable},     {true, true, true, true, kDisable},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "disabled " << c.disabled << ", pressed " << c.pressed << ", hovered "
                                        << c.hovered << ", focused " << c.focused);
        CImageButton button;
        MakeButton(button, {CImageButton::Normal, CImageButton::Highlight, CImageButton::Click, CImageButton::Disable});
        const HWND control = button.GetSafeHwnd();
        SetFocus(parent.GetSafeHwnd());
        ASSERT_TRUE(AllAre(Inner(control), kNormal));
        // Each step is drawn before the next, so that the last one is drawn
        // by its own redraw: the press by a change of selection alone.
        if (c.hovered) {
            SendMessageW(control, WM_MOUSEHOVER, 0, 0);
            UpdateWindow(control);
        }
        if (c.focused) {
            SetFocus(control);
            ASSERT_EQ(GetFocus(), control);
        }
        if (c.pressed) {
            SendMessageW(control, BM_SETSTATE, TRUE, 0);
        }
        if (c.disabled) {
            EnableWindow(control, FALSE);
        }
        EXPECT_TRUE(AllAre(Inner(control), c.expected));
        DestroyWindow(control);
    }
}

TEST_F(OwnerDrawnControlsTest, AStateWithoutAnImageDrawsNothing)
{
    struct Case {
        const char* name;
        bool loadable;
    };
    // Without a Highlight image, and with one whose file is missing.
    const Case cases[] = {{"no image", false}, {"missing file", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CImageButton button;
        MakeButton(button, {CImageButton::Normal});
        if (c.loadable) {
            button.SetStateImage(CImageButton::Highlight, folder.File(L"missing.png").c_str());
        }
        const HWND control = button.GetSafeHwnd();
        ASSERT_TRUE(AllAre(Inner(control), kNormal));
        SendMessageW(control, WM_MOUSEHOVER, 0, 0);
        EXPECT_TRUE(button.hover);
        // Only the erase shows: the parent's colour, not the Normal image.
        EXPECT_TRUE(AllAre(Inner(control), Rgb(kBackground)));
        // A state out of range changes nothing.
        button.SetStateImage(4, imagePaths[CImageButton::Click].c_str());
        button.SetStateImage(-1, imagePaths[CImageButton::Click].c_str());
        SendMessageW(control, WM_MOUSELEAVE, 0, 0);
        EXPECT_TRUE(AllAre(Inner(control), kNormal));
        DestroyWindow(control);
    }
}

TEST_F(OwnerDrawnControlsTest, HoverRepaintsOnceAfterARestAndLeavingRepaintsAgain)
{
    CountingImageButton button;
    MakeButton(button, {CImageButton::Normal, CImageButton::Highlight});
    const HWND control = button.GetSafeHwnd();
    RECT place;
    GetWindowRect(control, &place);
    const POINT centre{(place.left + place.right) / 2, (place.top + place.bottom) / 2};
    ASSERT_TRUE(testutil::PumpUntilQueueEmpty());
    UpdateWindow(control);
    button.draws = 0;

    MovePointerTo(centre);
    EXPECT_TRUE(testutil::PumpUntil([&] { return button.draws > 0; }, 2000));
    // Moving on within the button hovers again, but draws nothing new: a
    // repaint it asked for would be done by UpdateWindow.
    const int hovers = button.hovers;
    MovePointerTo({centre.x + 3, centre.y + 2});
    EXPECT_TRUE(testutil::PumpUntil([&] { return button.hovers > hovers; }, 10000));
    UpdateWindow(control);
    EXPECT_TRUE(button.hover);
    EXPECT_EQ(button.draws, 1);
    EXPECT_TRUE(AllAre(Inner(control), kHighlight));

    MovePointerTo({0, 0});
    EXPECT_TRUE(testutil::PumpUntil([&] { return !button.hover; }, 10000));
    UpdateWindow(control);
    EXPECT_EQ(button.draws, 2);
    EXPECT_TRUE(AllAre(Inner(control), kNormal));
}

TEST_F(OwnerDrawnControlsTest, ACheckBoxLabelIsWhiteOverItsParentsBackground)
{
    struct Case {
        COLORREF background;
        int check;
    };
    const Case cases[] = {{RGB(30, 40, 70), BST_UNCHECKED},
                          {RGB(30, 40, 70), BST_CHECKED},
                          {RGB(0, 80, 0), BST_CHECKED},
                          {RGB(120, 60, 20), BST_UNCHECKED}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.background << " check " << c.check);
        Parent painted(c.background);
        ASSERT_TRUE(
            painted.CreateEx(WS_EX_TOPMOST, kParentClass, L"check box", WS_POPUP | WS_VISIBLE, kParentRect, nullptr));
        constexpr int width = 140;
        constexpr int height = 24;
        ASSERT_NE(CreateWindowExW(0, L"Button", L"Apical lesion", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, 10, 10,
                                  width, height, painted.GetSafeHwnd(),
                                  reinterpret_cast<HMENU>(static_cast<UINT_PTR>(kControlId)), GetModuleHandleW(nullptr),
                                  nullptr),
                  nullptr);
        CTransCheckBox box;
        ASSERT_TRUE(box.SubclassDlgItem(kControlId, &painted));
        box.SetCheck(c.check);
        EXPECT_EQ(box.GetCheck(), c.check);
        RedrawWindow(painted.GetSafeHwnd(), nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);

        int w = 0;
        int h = 0;
        const std::vector<uint32_t> pixels = testutil::ReadClientPixels(box.GetSafeHwnd(), &w, &h);
        ASSERT_EQ(w, width);
        const uint32_t background = Rgb(c.background);
        // The label begins after the box glyph and ends well before the
        // control's right edge: that end shows the parent's own colour.
        int white = 0;
        int ownColours = 0;
        int rightEndOthers = 0;
        for (int y = 0; y < h; ++y) {
            for (int x = 20; x < w; ++x) {
                const uint32_t pixel = pixels[static_cast<size_t>(y) * w + x];
                white += pixel == 0xFFFFFF ? 1 : 0;
                ownColours += pixel == Rgb(GetSysColor(COLOR_BTNFACE)) || pixel == Rgb(GetSysColor(COLOR_BTNTEXT));
                rightEndOthers += x >= w - 10 && pixel != background;
            }
        }
        EXPECT_EQ(ownColours, 0);
        EXPECT_EQ(rightEndOthers, 0);
        EXPECT_GT(white, 20);
    }
}

} // namespace
