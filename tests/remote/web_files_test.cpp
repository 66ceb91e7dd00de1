#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "remote/web_encoding.h"
#include "remote/web_file_digests.h"
#include "remote/web_files.h"
#include "remote/web_test_support.h"
#include "ui_kit/text_table.h"

namespace {

const QString kDocs = QStringLiteral(VELTARO_BINARY_DIR "/htmlDocs");

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST(WebFiles, CompressionFollowsLengthAndTheExactAcceptEncodingText) {
    const struct {
        int64_t length;
        const char* accept;
        int32_t encoding;
    } cases[] = {
        {150, "gzip, deflate", kEncodingNone}, {200, "gzip", kEncodingNone},       {201, "gzip", kEncodingGzip},
        {5000, "deflate, gzip", kEncodingGzip}, {5000, "br, gzip", kEncodingGzip}, {5000, "deflate", kEncodingDeflate},
        {5000, "", kEncodingNone},              {5000, "GZIP", kEncodingNone},     {5000, "br", kEncodingNone},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SelectContentEncoding(c.length, c.accept), c.encoding) << c.length << " " << c.accept;
    const QByteArray text(5000, 'a');
    EXPECT_EQ(InflateBody(EncodeBody(text, kEncodingGzip)), text);
    EXPECT_EQ(EncodeBody(text, kEncodingGzip).left(2), QByteArray("\x1f\x8b"));
    EXPECT_EQ(InflateBody(EncodeBody(text, kEncodingDeflate)), text);
    EXPECT_EQ(EncodeBody(text, kEncodingDeflate).at(0), '\x78');
}

TEST(WebFiles, TheBuiltInDigestsMatchTheDeliveredFiles) {
    TMD5Check md5;
    for (const TWebFileDigest& d : kWebFileDigests) {
        const QString path = kDocs + QLatin1Char('/') + QLatin1String(d.name);
        EXPECT_TRUE(md5.CheckMD5(path, ReadAll(path))) << d.name;
    }
    EXPECT_FALSE(md5.CheckMD5(QStringLiteral("/x/index.html"), QByteArray("changed")));
    EXPECT_FALSE(md5.CheckMD5(QStringLiteral("/x/unlisted.html"), QByteArray()));
    EXPECT_TRUE(md5.CheckMD5(QStringLiteral("INDEX.HTML"), ReadAll(kDocs + QStringLiteral("/index.html"))));
}

TEST(WebFiles, TheStartPageIsServedUncachedAndOtherFilesForAYear) {
    TMD5Check md5;
    const QByteArray index = ReadAll(kDocs + QStringLiteral("/index.html"));
    for (const char* path : {"/", "/index.html", "/INDEX.html"}) {
        const TWebAnswer a = WebGetFile(path, "", kDocs, &md5);
        EXPECT_EQ(a.status, 200) << path;
        EXPECT_EQ(a.cacheControl, "no-cache") << path;
        EXPECT_EQ(a.contentType, "text/html; charset=utf-8");
        EXPECT_EQ(a.body, index);
    }
    const TWebAnswer css = WebGetFile("/vtstyle.CSS", "deflate, gzip", kDocs, &md5);
    EXPECT_EQ(css.status, 200);
    EXPECT_EQ(css.cacheControl, "public,max-age=31536000,immutable");
    EXPECT_EQ(css.contentType, "text/css; charset=utf-8");
    EXPECT_EQ(css.contentEncoding, "gzip");
    EXPECT_EQ(InflateBody(css.body), ReadAll(kDocs + QStringLiteral("/vtStyle.css")));

    EXPECT_EQ(WebGetFile("/favicon.ico", "", kDocs, &md5).contentType, "image/x-icon");
    EXPECT_EQ(WebGetFile("/dayLogo.svg", "", kDocs, &md5).contentType, "image/svg+xml; charset=utf-8");
    EXPECT_EQ(WebGetFile("/display.js", "deflate", kDocs, &md5).contentEncoding, "deflate");
    EXPECT_EQ(WebGetFile("/display.js", "", kDocs, &md5).contentType, "application/javascript; charset=utf-8");
}

TEST(WebFiles, ChangedUnlistedMissingAndEscapingPathsAreRefused) {
    QTemporaryDir dir;
    for (const TWebFileDigest& d : kWebFileDigests)
        QFile::copy(kDocs + QLatin1Char('/') + QLatin1String(d.name), dir.filePath(QLatin1String(d.name)));
    {
        QFile changed(dir.filePath(QStringLiteral("handlers.js")));
        ASSERT_TRUE(changed.open(QIODevice::Append));
        changed.write("\n// changed");
    }
    QFile extra(dir.filePath(QStringLiteral("secret<b>.html")));
    ASSERT_TRUE(extra.open(QIODevice::WriteOnly));
    extra.write("secret");
    extra.close();
    TMD5Check md5;

    const TWebAnswer changed = WebGetFile("/handlers.js", "", dir.path(), &md5);
    EXPECT_EQ(changed.status, 403);
    EXPECT_TRUE(changed.body.contains("Verify the integrity of handlers.js on this server"));
    const TWebAnswer unlisted = WebGetFile("/secret<b>.html", "", dir.path(), &md5);
    EXPECT_EQ(unlisted.status, 403);
    EXPECT_TRUE(unlisted.body.contains("secret&lt;b&gt;.html"));
    EXPECT_EQ(unlisted.cacheControl, "no-cache");
    EXPECT_EQ(WebGetFile("/index.html", "", dir.path(), nullptr).status, 403);  // no digest list

    for (const char* path : {"/missing.html", "/../index.html", "/htmlDocs/../index.html", "/%2e%2e/index.html",
                             "/..\\index.html", "/sub/index.html", "\\index.html"}) {
        const TWebAnswer a = WebGetFile(path, "", dir.path(), &md5);
        EXPECT_EQ(a.status, 404) << path;
        EXPECT_EQ(a.cacheControl, "no-cache");
        EXPECT_FALSE(a.body.contains(dir.path().toUtf8())) << path;
    }
    const std::string withNul("/index.html\0.txt", 16);
    EXPECT_EQ(WebGetFile(withNul, "", dir.path(), &md5).status, 404);
    const TWebAnswer markup = WebGetFile("/<script>alert(1)</script>", "", dir.path(), &md5);
    EXPECT_EQ(markup.body, QByteArray("<h2>Could not find /&lt;script&gt;alert(1)&lt;/script&gt; on this server</h2>"));
}

TEST(WebFiles, TheNoSessionPageNamesTheClientLimit) {
    const TWebAnswer a = WebNoSessionPage(kLangEnglish, 10);
    EXPECT_EQ(a.status, 403);
    EXPECT_EQ(a.cacheControl, "");
    EXPECT_TRUE(a.body.startsWith("  <!DOCTYPE html>"));
    EXPECT_TRUE(a.body.contains(TooManyClientsText(kLangEnglish, 10).toUtf8()));
    EXPECT_TRUE(a.body.contains("supports only 10 clients at a time."));
}

}  // namespace
