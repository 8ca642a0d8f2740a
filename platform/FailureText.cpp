#include "platform/FailureText.h"

#include <new>

#include "platform/File.h"

namespace platform {

std::string WithReason(const std::string& sentence, const std::string& reason) {
    return reason.empty() ? sentence : sentence + "\n\n" + reason;
}

std::string FailureReason(const std::exception& e) {
    if (dynamic_cast<const std::bad_alloc*>(&e))
        return "Not enough memory.";
    if (dynamic_cast<const UserException*>(&e))
        return std::string();
    return e.what();
}

}  // namespace platform
