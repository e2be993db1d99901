// A caption sink that records the captions a pass hands it, in order.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "core/caption_sink.h"

namespace test {

class CaptionProbe : public CaptionSink {
public:
    void HandCaption(const char* text) override {
        std::lock_guard<std::mutex> hold(lock_);
        captions_.push_back(text);
    }
    const std::vector<std::string>& captions() const { return captions_; }  // once the pass is done

private:
    std::mutex lock_;
    std::vector<std::string> captions_;
};

}  // namespace test
