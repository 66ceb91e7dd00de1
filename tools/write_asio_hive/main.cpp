// Writes the ASIO drivers into a machine hive, as a driver's installer
// would: "software\asio\<name>" with the class id, and the class id's
// library under "software\classes\clsid\<id>\InprocServer32".
//   write_asio_hive <hive file> <program file>
// JACK's library is the client library by its bare name (found in the
// system's library folders); the simulated driver lives in the program.
#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>

#include "platform/asio_driver.h"
#include "platform/registry.h"

namespace {

bool WriteDriver(const QString& hiveFile, const QString& name, const platform::Guid& clsid, const QString& library) {
    const QString id = platform::GuidToText(clsid);
    platform::Registry hive(hiveFile);
    if (!hive.OpenKey(QStringLiteral("software\\asio\\") + name, true) || !hive.WriteString(QStringLiteral("clsid"), id) ||
        !hive.WriteString(QStringLiteral("Description"), name) || !hive.CloseKey())
        return false;
    return hive.OpenKey(QStringLiteral("software\\classes\\clsid\\") + id + QStringLiteral("\\InprocServer32"), true) &&
           hive.WriteString(QString(), library) && hive.CloseKey();
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: write_asio_hive <hive file> <program file>\n");
        return 2;
    }
    const QString hiveFile = args[1];
    const QString program = QFileInfo(args[2]).absoluteFilePath();
    if (!WriteDriver(hiveFile, QStringLiteral("JACK"), platform::kJackAsioClsid, QStringLiteral("libjack.so.0")) ||
        !WriteDriver(hiveFile, QStringLiteral("Simulated ASIO"), platform::kSimulatedAsioClsid, program)) {
        std::fprintf(stderr, "write_asio_hive: cannot write %s\n", qPrintable(hiveFile));
        return 1;
    }
    return 0;
}
