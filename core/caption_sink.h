// Where the pass hands its progress captions: the splash window takes the
// text under its caption lock and repaints at its own pace, so the worker
// (and every copy thread) never waits for the window.
#pragma once

class CaptionSink {
public:
    virtual ~CaptionSink() = default;
    // Any thread; the text is copied before the call returns.
    virtual void HandCaption(const char* text) = 0;
};
