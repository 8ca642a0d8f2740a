#include "support/TestPaths.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace vocomet::test {

std::string BuildDir() { return VOCOMET_TEST_BUILD_DIR; }
std::string SourceDir() { return VOCOMET_SOURCE_DIR; }

std::string FreshTempDir() {
    std::string name = "unnamed";
    if (const auto* info = ::testing::UnitTest::GetInstance()->current_test_info()) {
        name = std::string(info->test_suite_name()) + "." + info->name();
    }
    for (char& c : name)
        if (c == '/' || c == ' ')
            c = '_';
    fs::path dir = fs::path(BuildDir()) / "test-tmp" / name;
    std::error_code ec;
    fs::remove_all(dir, ec);
    fs::create_directories(dir);
    return dir.string();
}

bool HaveTool(const std::string& name) {
    return RunCommand("command -v " + name + " >/dev/null 2>&1") == 0;
}

int RunCommand(const std::string& command) {
    int status = std::system(command.c_str());
    if (status == -1)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteAll(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::set<std::string> FolderListing(const std::string& dir) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        names.insert(e.path().filename().string());
    return names;
}

}  // namespace vocomet::test
