#include "app/UserManual.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <string>

#include "tests/core/TempFolder.h"

namespace tarvik {
namespace {

namespace fs = std::filesystem;

TEST(UserManualTest, InstallFolderThenInstalledShareThenSourceTree) {
    TempFolder temp;
    const fs::path install = temp.Path() / "install";
    const fs::path shared = temp.Path() / "prefix" / "share" / "tarvik" / "doc" / "toc.html";
    const std::string exe = (temp.Path() / "prefix" / "bin" / "tarvik").string();
    EXPECT_EQ(FindUserManual(install.string(), exe), "");  // nothing anywhere
    EXPECT_EQ(FindUserManual("", ""), "");

    fs::create_directories(shared.parent_path());
    std::ofstream(shared) << "<html></html>";
    // An install folder without the manual does not hide the installed one.
    EXPECT_EQ(FindUserManual(install.string(), exe), shared.string());
    fs::create_directories(install / "doc");
    std::ofstream(install / "doc" / "toc.html") << "<html></html>";
    EXPECT_EQ(FindUserManual(install.string(), exe), (install / "doc" / "toc.html").string());
    // A program in the build tree reads the source tree's manual.
    EXPECT_EQ(FindUserManual("", std::string(TARVIK_BINARY_DIR) + "/ui/tarvik"),
              (fs::path(TARVIK_SOURCE_DIR) / "share/doc/toc.html").lexically_normal().string());
}

// Every page has a title and is linked; every link leads to a page of the
// manual, never outside.
TEST(UserManualTest, ManualPagesLinkOnlyToEachOther) {
    const fs::path doc = fs::path(TARVIK_SOURCE_DIR) / "share" / "doc";
    static const std::regex link(R"((href|src)="([^"]*)\")");
    std::set<std::string> pages{"toc.html"}, linked{"toc.html"};
    for (const auto& entry : fs::directory_iterator(doc)) {
        if (entry.path().extension() != ".html") continue;
        pages.insert(entry.path().filename().string());
        std::ifstream in(entry.path());
        const std::string html{std::istreambuf_iterator<char>(in), {}};
        EXPECT_NE(html.find("<title>"), std::string::npos) << entry.path();
        for (std::sregex_iterator it(html.begin(), html.end(), link), end; it != end; ++it) {
            const std::string target = (*it)[2];
            EXPECT_EQ(target.find(':'), std::string::npos) << entry.path() << " -> " << target;
            EXPECT_TRUE(fs::is_regular_file(doc / target)) << entry.path() << " -> " << target;
            if (fs::path(target).extension() == ".html") linked.insert(target);
        }
    }
    EXPECT_EQ(linked, pages);
}

}  // namespace
}  // namespace tarvik
