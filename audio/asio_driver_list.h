#pragma once
// The installed ASIO drivers as the machine hive announces them under
// "software\asio", each checked against its library file; the text of an
// ASIO result with its message box; and the byte size of an ASIO sample type.
#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

#include "platform/asio_driver.h"

struct TAsioDriverDesc {
    platform::Guid id;
    QString name;  // at most 512 characters
    QString path;  // empty when the library was found only by loading it by name
};
using TAsioDriverList = std::vector<TAsioDriverDesc>;

// The folders a bare library name is looked for in, in order: the C
// library's folder, the same name with "32" appended, and /usr/lib. Tests
// put their own in place; an empty list gives the machine's back.
struct AsioLibraryFolders {
    QString system;
    QString system32;
    QString windows;
};
AsioLibraryFolders CurrentAsioLibraryFolders();
void SetAsioLibraryFolders(const AsioLibraryFolders& folders);
void ResetAsioLibraryFolders();

void GetAsioDriverList(TAsioDriverList& list);
// 0 when the library of the class id exists or loads, -1 otherwise; path is
// what was found.
int32_t CheckAsioDriverDll(const QString& clsidText, QString& path);
// The text of an ASIO result.
QString AsioErrorText(int32_t code);
// True for success; a failure shows its text with the step as caption unless quiet.
bool CheckAsioError(int32_t code, bool showOnSuccess, const QString& caption, bool quiet);
int32_t AsioSampleSize(int32_t type);
