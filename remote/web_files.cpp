#include "remote/web_files.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "remote/web_encoding.h"
#include "remote/web_file_digests.h"
#include "ui_kit/text_table.h"

namespace {

const char* const kLongCache = "public,max-age=31536000,immutable";
const char* const kNoCache = "no-cache";
const char* const kHtmlType = "text/html; charset=utf-8";

std::string ContentTypeFor(const QString& fileName) {
    const QString ext = QFileInfo(fileName).suffix().toLower();
    if (ext == QLatin1String("css")) return "text/css; charset=utf-8";
    if (ext == QLatin1String("js")) return "application/javascript; charset=utf-8";
    if (ext == QLatin1String("ico")) return "image/x-icon";
    if (ext == QLatin1String("svg")) return "image/svg+xml; charset=utf-8";
    return kHtmlType;
}

// Only a plain name directly in the web folder can be a web file; anything
// that could climb out of it or name another folder is refused before the
// disk is touched.
bool IsPlainFileName(const QString& name) {
    if (name.isEmpty()) return false;
    for (const QChar c : name)
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QChar(0)) return false;
    return !name.contains(QLatin1String("..")) && !name.contains(QLatin1String("%2e"), Qt::CaseInsensitive);
}

// The web folder's file whose name equals name without regard to case.
QString FindWebFile(const QString& docsFolder, const QString& name) {
    const QStringList files = QDir(docsFolder).entryList(QDir::Files);
    for (const QString& f : files)
        if (f.compare(name, Qt::CaseInsensitive) == 0) return docsFolder + QLatin1Char('/') + f;
    return QString();
}

TWebAnswer HtmlPage(int status, const QString& html, const char* cacheControl) {
    TWebAnswer answer;
    answer.status = status;
    answer.contentType = kHtmlType;
    answer.cacheControl = cacheControl;
    answer.body = html.toUtf8();
    return answer;
}

}  // namespace

QString TMD5Check::Md5Hex(const QByteArray& content) {
    return QString::fromLatin1(QCryptographicHash::hash(content, QCryptographicHash::Md5).toHex());
}

bool TMD5Check::CheckMD5(const QString& fileName, const QByteArray& content) const {
    const QString name = QFileInfo(fileName).fileName();
    for (const TWebFileDigest& listed : kWebFileDigests) {
        if (name.compare(QLatin1String(listed.name), Qt::CaseInsensitive) != 0) continue;
        return Md5Hex(content) == QLatin1String(listed.md5);
    }
    return false;
}

TWebAnswer WebGetFile(const std::string& documentPath, std::string_view acceptEncoding, const QString& docsFolder,
                      const TMD5Check* md5) {
    QString path = QString::fromUtf8(documentPath.data(), static_cast<qsizetype>(documentPath.size()));
    if (path == QLatin1String("/")) path = QStringLiteral("/index.html");
    const QString name = path.startsWith(QLatin1Char('/')) ? path.mid(1) : path;
    const QString fullPath = IsPlainFileName(name) ? FindWebFile(docsFolder, name) : QString();
    QFile file(fullPath);
    if (fullPath.isEmpty() || !file.open(QIODevice::ReadOnly)) return WebNotFoundPage(path);
    const QByteArray content = file.readAll();
    file.close();
    if (md5 == nullptr || !md5->CheckMD5(fullPath, content)) return WebChecksumPage(QFileInfo(fullPath).fileName());

    TWebAnswer answer;
    answer.contentType = ContentTypeFor(fullPath);
    answer.cacheControl = name.compare(QLatin1String("index.html"), Qt::CaseInsensitive) == 0 ? kNoCache : kLongCache;
    const int32_t encoding = SelectContentEncoding(content.size(), acceptEncoding);
    answer.contentEncoding = ContentEncodingName(encoding);
    answer.body = EncodeBody(content, encoding);
    return answer;
}

TWebAnswer WebChecksumPage(const QString& fileName) {
    return HtmlPage(403,
                    QStringLiteral("<h2>Verify the integrity of ") + fileName.toHtmlEscaped() +
                        QStringLiteral(" on this server </h2></br></br>"),
                    kNoCache);
}

TWebAnswer WebNotFoundPage(const QString& requestPath) {
    return HtmlPage(404,
                    QStringLiteral("<h2>Could not find ") + requestPath.toHtmlEscaped() +
                        QStringLiteral(" on this server</h2>"),
                    kNoCache);
}

TWebAnswer WebNoSessionPage(int32_t language, int32_t clientLimit) {
    TWebAnswer answer = HtmlPage(403,
                                 QStringLiteral("  <!DOCTYPE html><html lang=\"en\"><head><meta charset=\"utf-8\">"
                                                "<title>Veltaro webinterface 1.2</title></head><body>"
                                                "<div align=\"center\">") +
                                     TooManyClientsText(language, clientLimit) +
                                     QStringLiteral("</align></body></html>"),
                                 "");
    return answer;
}
