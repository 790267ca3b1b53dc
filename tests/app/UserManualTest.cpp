#include "app/UserManual.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "tests/core/TempFolder.h"

namespace tarvik {
namespace {

namespace fs = std::filesystem;

void Touch(const fs::path& file) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << "<html></html>\n";
}

TEST(UserManualTest, InstallFolderThenInstalledShareThenSourceTree) {
    TempFolder temp;
    const fs::path install = temp.Path() / "install";
    const fs::path prefix = temp.Path() / "prefix";
    const std::string exe = (prefix / "bin" / "tarvik").string();

    // Nothing anywhere (and not a build-tree program): no manual.
    EXPECT_EQ(FindUserManual(install.string(), exe), "");
    EXPECT_EQ(FindUserManual("", ""), "");

    Touch(prefix / "share" / "tarvik" / "doc" / "toc.html");
    EXPECT_EQ(FindUserManual("", exe), (prefix / "share" / "tarvik" / "doc" / "toc.html").string());
    // An install folder without the manual does not hide the installed one.
    EXPECT_EQ(FindUserManual(install.string(), exe),
              (prefix / "share" / "tarvik" / "doc" / "toc.html").string());

    Touch(install / "doc" / "toc.html");
    EXPECT_EQ(FindUserManual(install.string(), exe), (install / "doc" / "toc.html").string());

    // A program in the build tree reads the source tree's manual.
    const std::string built = std::string(TARVIK_BINARY_DIR) + "/ui/tarvik";
    EXPECT_EQ(
        FindUserManual("", built),
        (fs::path(TARVIK_SOURCE_DIR) / "share" / "doc" / "toc.html").lexically_normal().string());
}

// Every page is reachable from the contents and every link leads to a page
// that exists; the manual uses no outside assets.
TEST(UserManualTest, ManualPagesLinkOnlyToEachOther) {
    const fs::path doc = fs::path(TARVIK_SOURCE_DIR) / "share" / "doc";
    ASSERT_TRUE(fs::is_regular_file(doc / "toc.html"));
    static const std::regex link(R"((href|src)="([^"]*)\")");
    std::set<std::string> pages, linked;
    for (const auto& entry : fs::directory_iterator(doc)) {
        if (entry.path().extension() != ".html") continue;
        const std::string page = entry.path().filename().string();
        pages.insert(page);
        std::ifstream in(entry.path());
        std::stringstream text;
        text << in.rdbuf();
        const std::string html = text.str();
        EXPECT_NE(html.find("<title>"), std::string::npos) << page;
        for (std::sregex_iterator it(html.begin(), html.end(), link), end; it != end; ++it) {
            const std::string target = (*it)[2];
            SCOPED_TRACE(page + " -> " + target);
            EXPECT_EQ(target.find(':'), std::string::npos) << "outside link";
            EXPECT_TRUE(fs::is_regular_file(doc / target));
            linked.insert(target);
        }
    }
    for (const std::string& page : pages) {
        if (page == "toc.html") continue;
        EXPECT_TRUE(linked.count(page)) << page << " is never linked";
    }
}

}  // namespace
}  // namespace tarvik
