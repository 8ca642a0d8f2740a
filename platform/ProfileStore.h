#pragma once
// Per-user profile strings (section, key, text): what the application keeps
// between runs outside its settings file, such as the temp folder. The
// application stores them with QSettings; tests use the in-memory store.

#include <map>
#include <optional>
#include <string>
#include <utility>

namespace platform {

class ProfileStore {
public:
    virtual ~ProfileStore() = default;
    // Empty when the value is not there.
    virtual std::string ReadString(const std::string& section, const std::string& key) = 0;
    // False when the value could not be stored.
    virtual bool WriteString(const std::string& section, const std::string& key, const std::string& value) = 0;
};

class MemoryProfileStore final : public ProfileStore {
public:
    std::map<std::pair<std::string, std::string>, std::string> values;
    bool failWrites = false;  // a store that cannot be written
    // A store that keeps something other than what was written.
    std::optional<std::string> readBackOverride;

    std::string ReadString(const std::string& section, const std::string& key) override {
        if (readBackOverride)
            return *readBackOverride;
        auto it = values.find({section, key});
        return it == values.end() ? std::string() : it->second;
    }
    bool WriteString(const std::string& section, const std::string& key, const std::string& value) override {
        if (failWrites)
            return false;
        values[{section, key}] = value;
        return true;
    }
};

}  // namespace platform
