#pragma once
// The start-up options of a whole application under test.

#include <string>

#include "app/ui/COrielApp.h"

namespace vocomet::test {

// A whole application started in `start`, with the prompts and the profile
// given, no file types registered and a main window that is not maximised.
inline COrielApp::Options AppOptions(const std::string& start, platform::UserPrompts& prompts,
                                     platform::ProfileStore& profile) {
    COrielApp::Options o;
    o.prompts = &prompts;
    o.profile = &profile;
    o.startFolder = start;
    o.firmwarePath = start + "/ada.ldr";
    o.registerFileTypes = false;
    o.showMaximized = false;
    return o;
}

}  // namespace vocomet::test
