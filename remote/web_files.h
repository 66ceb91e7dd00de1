#pragma once
// The static files of the web page and the error pages. Only files whose
// MD5 digest matches the list built into the program are served, and every
// file is read once: the bytes that were checked are the bytes sent.
#include <QByteArray>
#include <QString>

#include <string_view>

#include "remote/web_answer.h"

// The built-in digest list of the web files.
class TMD5Check {
public:
    // Whether fileName (its name part; case ignored) is listed and content
    // has the listed digest.
    bool CheckMD5(const QString& fileName, const QByteArray& content) const;
    // The lowercase hexadecimal MD5 digest of content.
    static QString Md5Hex(const QByteArray& content);
};

// The answer to a GET of a registered client. documentPath is the decoded
// request path; docsFolder is the folder of the web files; md5 null means
// the digest list does not exist (every file is then refused).
TWebAnswer WebGetFile(const std::string& documentPath, std::string_view acceptEncoding, const QString& docsFolder,
                      const TMD5Check* md5);

// The 403 checksum page naming fileName and the 404 page naming the request
// path; both with escaped names and no-cache.
TWebAnswer WebChecksumPage(const QString& fileName);
TWebAnswer WebNotFoundPage(const QString& requestPath);

// The page for a client the server did not register (too many clients).
TWebAnswer WebNoSessionPage(int32_t language, int32_t clientLimit);
