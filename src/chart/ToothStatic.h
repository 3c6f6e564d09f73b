// The tooth chart: the current panoramic image stretched over the control,
// with a dashed, numbered box per tooth. Each frame is drawn into a back
// buffer: an erase puts the image there, a paint draws every box over it and
// copies the buffer to the screen, so a hover change costs only a paint.
#pragma once

#include "analysis/ToothInfo.h"
#include "analysis/ToothInfoLoader.h"
#include "chart/CaptureHotKey.h"
#include "chart/ChartClipboard.h"
#include "chart/HealthInfoLoader.h"
#include "chart/RecordTemplateInfo.h"
#include "chart/ToothSprite.h"
#include "chart/ToothStaticListener.h"
#include "foundation/MacAddressUtil.h"
#include "foundation/TempFilePath.h"
#include "ui/GdiHandles.h"
#include "ui/Gdiplus.h"
#include "ui/GdiplusPtr.h"
#include "ui/Static.h"
#include "ui/ToolTipCtrl.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

class CToolbarDlg;

class CToothStatic : public CStatic {
public:
    // At most this many image files make one chart.
    static constexpr size_t MAX_IMAGE_FILES = 4096;

    CToothStatic();
    ~CToothStatic() override;

    // Creates the chart's window; the creation resets the fields, so the
    // owner sets `listener`, `serverHost` and `serverPort` afterwards.
    virtual bool Create(DWORD style, const RECT& rect, CWnd* parent, UINT toolbarFullMode, UINT id);

    // Makes `files` the chart's images and loads the first. False, with
    // nothing changed, for more than MAX_IMAGE_FILES.
    bool SetImageFiles(const std::vector<std::wstring>& files);
    // (Re)loads the image at `currentIndex`.
    void LoadCurrentImage();

    void ResetState();
    bool InitControl();
    void ReleaseResources();
    void CreateDrawingTools();

    // Maps every tooth's image box to the chart; a null `clientRect` keeps
    // the last one.
    void UpdateLayout(const RECT* clientRect);
    // Lays every shown tooth's box and number over the back buffer, the
    // hovered tooth last.
    void DrawToothBoxes();

    // Builds the findings text of `teeth` after `recordTemplate` and puts it
    // on the clipboard. False when an argument is missing or the clipboard
    // step failed; `out`, when given, holds the text on success and is
    // empty otherwise.
    bool CopyFindingsText(const ToothInfoMap* teeth, const CRecordTemplateInfo* recordTemplate, std::wstring* out);
    // Puts `text` on the clipboard as Unicode text, now or as soon as another
    // program lets the clipboard go; an empty text succeeds without touching
    // the clipboard. A failure leaves the clipboard as it was.
    bool CopyTextToClipboard(const std::wstring& text);

    // Whoever replaces `image` or `sharpenedImage` calls this, so that the
    // next erase stretches the new picture.
    void ForgetStretchedImage();

    // Sends the current image to the analysis server, files the teeth of the
    // reply with their screen boxes, copies the findings text and repaints.
    // True once a request was made, whatever the server answered; false,
    // with nothing changed, when the analysis cannot start.
    bool AnalyzeCurrentImage();
    // Writes a 24-bit JPEG copy of the current image into `path` (a new
    // temporary file, registered for deletion) when the image is of another
    // pixel format; `made` tells whether it did. False when there is no image
    // or the needed copy cannot be made.
    bool SaveTempJpeg(wchar_t path[TEMP_PATH_CAPACITY], bool* made);
    // Makes `sharpenedImage` from the image unless it exists; true when it
    // exists afterwards.
    bool MakeSharpenedImage();

    // The hovered tooth, or null when none is hovered or its key is gone.
    CToothInfo* GetHoveredTooth();
    // One tooltip tool per displayed tooth that passes the filter.
    void AddToothTips();
    // Removes the tool of every displayed tooth, whatever the filter; called
    // while the map still holds the teeth whose tools exist.
    void RemoveToothTips();
    // The findings menu of the hovered tooth at `point` (client coordinates).
    void ShowFindingMenu(const POINT& point);
    // Shows the capture toolbar without activating it, creating it at the
    // chart's top-left corner the first time; true when it is shown.
    bool ShowCaptureToolbar();

    // The context menu of the chart at `point` (client coordinates).
    void ShowContextMenu(const POINT& point);
    // Appends the health-education items to `menu`, reading the catalogue
    // first while it is empty; the number of items appended.
    int FillHealthMenu(HMENU menu);
    // Fills the page of a page item for the hovered tooth, with its crop
    // beside it, and opens it; false when nothing was opened.
    bool ShowHealthPage(const CHealthInfo& item);
    // Saves the hovered tooth's part of the image as "tooth_img01.jpg" in
    // `folder` (UTF-8, ending with a backslash). False only when no tooth
    // is hovered.
    bool SaveToothImage(const std::string& folder);

    BOOL PreTranslateMessage(MSG* msg) override;

    std::vector<std::wstring> imageFiles;
    ToothInfoMap displayedTeeth; // keyed by ToothKey(image index, tooth number)
    // Grows with every replacement of the displayed teeth (a new image list,
    // a new image, an analysis, a reset): what outlives a user action, such
    // as the findings menu, acts only while it still reads what it began on.
    uint32_t displayGeneration = 0;
    // The generation whose teeth an accepted analysis filed; none until then.
    std::optional<uint32_t> analysedGeneration;
    ToothInfoMap parsedTeeth; // the last analysis reply, keyed by tooth number
    CToothInfoLoader loader;
    std::wstring tooltipText;
    std::wstring findingsText;
    // The chart's steps on the clipboard; the last text it put there,
    // corrections included.
    CChartClipboard chartClipboard;
    GdiplusPtr<Gdiplus::Bitmap> image;
    GdiplusPtr<Gdiplus::Bitmap> sharpenedImage;
    CToothStaticListener* listener = nullptr;
    CToolbarDlg* toolbar = nullptr;
    int32_t currentIndex = -1;
    // While a tooth is hovered, how often the pointer is looked at (see
    // WatchPointer).
    static constexpr UINT_PTR TIMER_POINTER_WATCH = 1;
    static constexpr UINT POINTER_WATCH_MS = 100;
    uint32_t hoveredKey = 0;
    Gdiplus::PixelFormat pixelFormat = PixelFormat24bppRGB;
    uint32_t displayFilter = DEFAULT_DISPLAY_FILTER;
    UINT toolbarFullMode = 0;
    bool showSharpened = false;
    bool hotKeyOn = false;
    bool toolbarShown = false;
    bool sendBoth = false;
    std::string serverHost;
    uint16_t serverPort = 0;
    CHealthInfoLoader healthItems;
    CCaptureHotKey captureHotKey;
    // The adapter walk behind the machine id; empty: the system's table.
    AdapterTableQuery adapterTable;
    // Declared before the tooltip control, so that it outlives it.
    UniqueFont tooltipFont;
    CToolTipCtrl toolTipCtrl;
    UniqueMemoryDC memoryDC;
    UniqueBitmap backBuffer;
    RECT lastClientRect{};
    GdiplusPtr<Gdiplus::Pen> boxPen;
    GdiplusPtr<Gdiplus::Pen> hoverPen;
    GdiplusPtr<Gdiplus::SolidBrush> numberBrush;
    GdiplusPtr<Gdiplus::SolidBrush> hoverBrush;
    GdiplusPtr<Gdiplus::Font> numberFont;
    Gdiplus::ARGB backgroundColor = INITIAL_BACKGROUND;
    float scaleX = 0.0f;
    float scaleY = 0.0f;
    int32_t imageWidth = 0;
    int32_t imageHeight = 0;
    int32_t marginLeft = 0;
    int32_t marginRight = 0;
    int32_t marginTop = 0;
    int32_t marginBottom = 0;
    int32_t drawLeft = 0;
    int32_t drawTop = 0;
    int32_t drawWidth = 0;
    int32_t drawHeight = 0;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    static constexpr uint32_t DEFAULT_DISPLAY_FILTER = 0xFFFF;
    static constexpr Gdiplus::ARGB INITIAL_BACKGROUND = 0xFF000000;
    // Tries again a clipboard step that found the clipboard held.
    static constexpr UINT_PTR TIMER_CLIPBOARD_RETRY = 2;

    int OnCreate(CREATESTRUCTW* create);
    void OnDestroy();
    void OnPaint();
    BOOL OnEraseBkgnd();
    void OnCopyFindings();
    void OnMouseMove(UINT flags, POINT point);
    void OnMouseLeave();
    void OnTimer(UINT_PTR timerId);
    void OnLButtonUp(UINT flags, POINT point);
    void OnEditFindings();
    BOOL OnToolTipNeedText(UINT id, NMHDR* header, LRESULT* result);
    void OnLoadImage();
    LRESULT OnCaptureScreen(WPARAM wParam, LPARAM lParam);
    // Captures the stored region into a registered temporary JPEG, hands it
    // to the listener and gives the toolbar the picture and the findings text.
    void CaptureAndOpen();

    // The context menu and the chart's other commands.
    void OnRButtonUp(UINT flags, POINT point);
    void OnCopyImageFile();
    void OnEditRecordTemplate();
    void OnToggleCaptureBar();
    void OnToggleSharpen();
    void OnToggleDualSend();
    void OnUserSettings();
    void OnSystemTest();
    void OnToggleHotKey();
    void OnHotKey(WPARAM id);
    void OnOpenReference(UINT id);
    void OnShowHealthMenu();
    void OnHealthItem(UINT id);
    // True when a command of the block above took the id.
    bool OnChartCommand(UINT id);

    // Asks for WM_MOUSELEAVE once the pointer is over the chart, and watches
    // for a window over the chart taking the pointer.
    void TrackMouseLeave();
    // Runs the pointer timer while a tooth is hovered with the leave tracked,
    // and only then.
    void WatchPointer();
    // True when the tooth takes part in hover, click and tooltips.
    bool PassesFilter(const CToothInfo& tooth) const;
    // The sharpened copy's file, named by the request's GUID; false when it
    // is needed and cannot be written.
    bool SaveSharpenedCopy(const wchar_t* path);
    // Nothing of an analysis outlives its image or its failure: empties
    // `findingsText`, and the clipboard while the chart owns it or it holds
    // the chart's last text.
    void ForgetAnalysis();
    // Every replacement of the displayed teeth starts here: a new
    // generation, and no findings menu left open on the teeth that go.
    void BeginNewTeeth();
    // The machine id for a request; false or empty when there is none.
    bool MachineId(std::string* out) const;
    // Files the teeth of `parsedTeeth` under their display keys with their
    // screen boxes.
    void DisplayParsedTeeth();
    // An image box mapped to the chart by the current layout.
    RECT ScreenBoxOf(const RECT& imageBox) const;

    // Grows the back buffer to cover `client`; true when it was remade.
    bool CoverWithBackBuffer(const RECT& client);
    // The erase's half of a frame: the image, or the background colour.
    void DrawBackground(const RECT& client);
    // The image as the erase draws it, stretched once into the drawing
    // rectangle and reused until the image or the layout changes.
    HBITMAP StretchedImage(Gdiplus::Image* source);
    bool MakeBackBuffer(SIZE size);
    // The part of the chart a tooth's drawing may reach: the client area,
    // within the back buffer.
    RECT DrawingClip() const;

    // One drawing of teeth, remade only when what it shows changed.
    struct CachedSprite {
        std::vector<ToothShape> shapes;
        RECT clip{};
        bool rendered = false;
        CToothSprite sprite;
    };
    // The drawing of `shapes` within `clip` with the given tools, from
    // `cached` when it shows the same.
    static const CToothSprite& SpriteOf(CachedSprite& cached, std::vector<ToothShape> shapes, const RECT& clip,
                                        const Gdiplus::Pen* pen, const Gdiplus::Font* font,
                                        const Gdiplus::Brush* brush);
    // Both drawings are remade at the next paint.
    void ForgetSprites();

    SIZE backBufferSize{};
    uint32_t* backBufferPixels = nullptr; // the back buffer's memory, top-down
    // Every shown tooth in its plain look, the hovered one included, and the
    // hovered tooth alone in its own: a hover change remakes only the small
    // one, and no reply, however many teeth it holds, costs more than two
    // drawings of the chart's area.
    CachedSprite plainSprite;
    CachedSprite hoverSprite;
    bool trackingLeave = false;
    // Where the pointer was at the chart's last mouse message (screen
    // coordinates), and whether the timer found it elsewhere since.
    POINT heardPointer{};
    bool pointerUnheard = false;
    UniqueBitmap stretched;
    const Gdiplus::Image* stretchedSource = nullptr;
    SIZE stretchedSize{};
};
