// The three controls of the progress window as the worker sees them. The desktop window, the
// command line and the tests implement them; they are touched on the main thread only.
#pragma once

#include <string>

namespace quillet {

class ProgressGauge {
public:
    virtual ~ProgressGauge() = default;
    virtual void setProgress(int position) = 0;  // 0..100
};

class TextLine {
public:
    virtual ~TextLine() = default;
    virtual void setCaption(const std::u16string& caption) = 0;
};

class CaptionButton {
public:
    virtual ~CaptionButton() = default;
    virtual void setCaption(const std::u16string& caption) = 0;
};

}  // namespace quillet
