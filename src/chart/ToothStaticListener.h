// How the tooth chart tells its owner what happened, and how a capture is
// asked of it.
#pragma once

#include <windows.h>

#include <string>

// OnToothChartEvent's events; their argument is always 0.
constexpr int CHART_EVENT_FINDINGS_EDITED = 0;
constexpr int CHART_EVENT_LOAD_IMAGE = 1;

// Posted to the chart's window by the capture toolbar and the capture hot
// key; both parameters are 0.
constexpr UINT WM_CAPTURE_SCREEN = WM_USER + 1;

class CToothStaticListener {
public:
    virtual void OnToothChartEvent(int event, int arg) = 0;
    // A capture made a new image file; the owner makes it the chart's only
    // image and analyses it before returning.
    virtual void OnOpenImage(const std::wstring& path) = 0;

protected:
    ~CToothStaticListener() = default;
};
