// A save directory on a file system that fills up during the crawl: a small
// tmpfs mounted for the test where the machine allows it (root, and a kernel
// that lets this process mount), skipped with a message elsewhere.
#include <gtest/gtest.h>
#include <sys/mount.h>

#include <QDirIterator>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <string>

#include "platform/FileSystem.h"
#include "tests/hostile/CrawlHarness.h"
#include "tests/support/Peers.h"

using hostile::Crawl;

namespace {

constexpr int kDiskBytes = 1024 * 1024;

// Mounts a tmpfs of kDiskBytes on a folder and unmounts it when done.
class SmallDisk {
public:
    explicit SmallDisk(const std::string& folder) : folder_(folder) {
        platform::fs::createDirectories(folder_);
        const std::string options = "size=" + std::to_string(kDiskBytes);
        if (::mount("tmpfs", folder_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) == 0)
            mounted_ = true;
        else
            error_ = std::strerror(errno);
    }
    ~SmallDisk() {
        if (mounted_) ::umount2(folder_.c_str(), MNT_DETACH);
    }
    bool mounted() const { return mounted_; }
    const std::string& error() const { return error_; }

private:
    std::string folder_;
    bool mounted_ = false;
    std::string error_;
};

std::string bigPage(char fill) { return "<html>" + std::string(600 * 1024, fill) + "</html>"; }

}  // namespace

TEST(FullDisk, FilesThatDoNotFitFailTheLogGoesOnAndTheCrawlEnds) {
    Crawl c;
    SmallDisk disk(c.root() + "/inside");
    if (!disk.mounted())
        GTEST_SKIP() << "cannot mount a small tmpfs here (" << disk.error()
                     << "); the full-disk case needs root and a kernel that allows the mount";

    // Fetched last in first out: big1 fits, big2 and the image do not, the
    // small page fits again once the failed files are gone.
    std::string index;
    for (const char* href : {"small.html", "big.gif", "big2.html", "big1.html"})
        index += "<a href=\"" + std::string(href) + "\">x</a>\n";
    c.site.at("/site/index.html").page(index);
    c.site.at("/site/big1.html").page(bigPage('1'));
    c.site.at("/site/big2.html").page(bigPage('2'));
    c.site.at("/site/big.gif").page(std::string(600 * 1024, 'g'), "image/gif");
    c.site.at("/site/small.html").page("<p>small</p>");

    ASSERT_TRUE(c.run("/site/index.html"));

    EXPECT_EQ(c.view.plain.loopFinishedCalls, 1);
    EXPECT_TRUE(c.logged("Saved", c.url("/site/big1.html")));
    EXPECT_TRUE(c.logged("Error: Could not Save File", c.url("/site/big2.html")));
    EXPECT_TRUE(c.logged("Error: Couldn't download", c.url("/site/big.gif")));
    EXPECT_TRUE(c.logged("Saved", c.url("/site/small.html")));

    // A file that did not fit is neither left behind torn nor counted.
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(c.saveDir() + "site/big2.html")));
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(c.saveDir() + "site/big.gif")));
    std::int64_t onDisk = 0;
    for (const auto& path : c.engine->SavedList) onDisk += platform::fs::fileSize(path);
    EXPECT_EQ(c.engine->iTotalBytes, onDisk);
    EXPECT_EQ(c.engine->SavedList.size(), 3u);  // index, big1, small

    // The log file holds whole status lines only, each one that was shown.
    const std::string log = testsupport::readFile(c.saveDir() + "downloads.log");
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.substr(log.size() - 2), "\r\n");
    std::size_t at = 0;
    while (at < log.size()) {
        const std::size_t end = log.find("\r\n", at);
        ASSERT_NE(end, std::string::npos);
        const std::string line = log.substr(at, end - at);
        EXPECT_NE(std::find(c.view.everyLine.begin(), c.view.everyLine.end(), line),
                  c.view.everyLine.end())
            << line;
        at = end + 2;
    }
    EXPECT_TRUE(c.filesOutsideSaveDir().empty());
}

TEST(FullDisk, APageAndAFileThatDoNotFitLeaveTheirEarlierCopies) {
    Crawl c;
    SmallDisk disk(c.root() + "/inside");
    if (!disk.mounted())
        GTEST_SKIP() << "cannot mount a small tmpfs here (" << disk.error()
                     << "); the full-disk case needs root and a kernel that allows the mount";
    const std::string earlier = "<html>the earlier copy</html>";
    testsupport::writeFile(c.saveDir() + "site/big.html", earlier);
    testsupport::writeFile(c.saveDir() + "site/big.gif", earlier);
    c.site.at("/site/index.html").page("<a href=\"big.gif\">x</a>\n<a href=\"big.html\">x</a>\n");
    c.site.at("/site/big.html").page("<html>" + std::string(1200 * 1024, 'h') + "</html>");
    c.site.at("/site/big.gif").page(std::string(1200 * 1024, 'g'), "image/gif");

    ASSERT_TRUE(c.run("/site/index.html"));

    EXPECT_TRUE(c.logged("Error: Could not Save File", c.url("/site/big.html")));
    EXPECT_TRUE(c.logged("Error: Couldn't download", c.url("/site/big.gif")));
    EXPECT_EQ(testsupport::readFile(c.saveDir() + "site/big.html"), earlier);
    EXPECT_EQ(testsupport::readFile(c.saveDir() + "site/big.gif"), earlier);
    EXPECT_FALSE(c.engine->SaveFolderFailed()) << "a full disk is not an unwritable folder";
    QDirIterator it(QString::fromStdString(c.root()), QDir::Files | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) EXPECT_FALSE(it.next().contains(".harvex-")) << "a temporary file left";
}
