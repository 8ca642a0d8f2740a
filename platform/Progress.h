#pragma once
// The progress shown during a long loop, and the user's wish to abort it.

#include <string>

namespace platform {

class Progress {
public:
    virtual ~Progress() = default;
    virtual void SetText(const std::string& text) = 0;
    // Fraction done; values outside 0..1 are clamped by the implementation.
    virtual void SetFraction(double fraction) = 0;
    // True once the user has asked to abort (a click on the progress window
    // or its Cancel). Implementations may process pending input here.
    virtual bool AbortRequested() = 0;
};

// For loops run where nobody watches (tests, batch work).
class NullProgress final : public Progress {
public:
    void SetText(const std::string&) override {}
    void SetFraction(double) override {}
    bool AbortRequested() override { return false; }
};

}  // namespace platform
