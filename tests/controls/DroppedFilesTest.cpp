#include "controls/DroppedFiles.h"
#include "tests/common/TestApp.h"

#include <QMimeData>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

TEST(DroppedFiles, LocalNamesKeepTheirBytesAndOrder) {
    TestApp::Instance();
    QMimeData data;
    data.setData(
        QStringLiteral("text/uri-list"),
        "# from a file manager\r\nfile:///music/b%20song.Mp3\r\nhttp://example.org/x.wav\r\n"
        "file://localhost/music/%E6%BC%A2.wav\r\nfile:///music/caf%E9.wav\r\nfile://other/y.wav\r\n");
    const std::vector<std::string> expected = {"/music/b song.Mp3", "/music/漢.wav", "/music/caf\xE9.wav"};
    EXPECT_EQ(DroppedFiles(data), expected);
    // What another Qt program puts on a drag.
    QMimeData urls;
    urls.setUrls({QUrl::fromLocalFile(QStringLiteral("/a/b.wav")), QUrl(QStringLiteral("https://x/y.wav"))});
    EXPECT_EQ(DroppedFiles(urls), std::vector<std::string>{"/a/b.wav"});
    EXPECT_FALSE(HasDroppedFiles(QMimeData()));
}

} // namespace
