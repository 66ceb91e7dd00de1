#pragma once
// One answer of the web server as the file, command and error-page code
// build it; the server turns it into the HTTP response.
#include <QByteArray>

#include <string>

struct TWebAnswer {
    int status = 200;
    std::string contentType;   // empty: no Content-Type header
    std::string cacheControl;  // empty: no Cache-Control header
    std::string contentEncoding;
    QByteArray body;
};
