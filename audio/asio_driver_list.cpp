#include "audio/asio_driver_list.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <dlfcn.h>

#include <mutex>
#include <optional>

#include "platform/registry.h"
#include "platform/user_dialogs.h"

namespace {

const QString kAsioKey = QStringLiteral("software\\asio");
constexpr int kNameLimit = 512;

std::mutex foldersLock;
std::optional<AsioLibraryFolders> testFolders;

// The folder of the C library stands for the system folder.
QString CLibraryFolder() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&dlopen), &info) == 0 || info.dli_fname == nullptr) return {};
    return QFileInfo(QString::fromLocal8Bit(info.dli_fname)).absolutePath();
}

bool LoadsByName(const QString& file) {
    void* handle = dlopen(QFile::encodeName(file).constData(), RTLD_LAZY | RTLD_LOCAL);
    if (handle == nullptr) return false;
    dlclose(handle);
    return true;
}

void ShowAsioBox(const QString& text, const QString& caption) {
    platform::MessageRequest request;
    request.text = text;
    request.header = caption;
    request.rightCaption = QStringLiteral("OK");
    platform::userDialogs()->ShowMessage(request);
}

}  // namespace

AsioLibraryFolders CurrentAsioLibraryFolders() {
    {
        std::lock_guard guard(foldersLock);
        if (testFolders) return *testFolders;
    }
    const QString system = CLibraryFolder();
    return {system, system.isEmpty() ? QString() : system + QStringLiteral("32"), QStringLiteral("/usr/lib")};
}

void SetAsioLibraryFolders(const AsioLibraryFolders& folders) {
    std::lock_guard guard(foldersLock);
    testFolders = folders;
}

void ResetAsioLibraryFolders() {
    std::lock_guard guard(foldersLock);
    testFolders.reset();
}

int32_t CheckAsioDriverDll(const QString& clsidText, QString& path) {
    path.clear();
    platform::Registry classes(platform::RootKey::LocalMachine);
    if (!classes.OpenKeyReadOnly(QStringLiteral("software\\classes\\clsid\\") + clsidText + QStringLiteral("\\InprocServer32")))
        return -1;
    path = classes.ReadString(QString()).value_or(QString());
    const QString file = QFileInfo(path).fileName();
    if (!path.isEmpty() && path == file) {
        const AsioLibraryFolders folders = CurrentAsioLibraryFolders();
        for (const QString& folder : {folders.system, folders.system32, folders.windows}) {
            if (folder.isEmpty()) continue;
            const QString candidate = folder + QLatin1Char('/') + file;
            if (QFileInfo::exists(candidate)) {
                path = candidate;
                break;
            }
        }
    }
    if (!path.isEmpty() && QFileInfo::exists(path)) return 0;
    if (file.isEmpty()) return -1;
    path.clear();
    return LoadsByName(file) ? 0 : -1;
}

void GetAsioDriverList(TAsioDriverList& list) {
    list.clear();
    platform::Registry machine(platform::RootKey::LocalMachine);
    if (!machine.OpenKeyReadOnly(kAsioKey)) return;
    const QStringList names = machine.GetKeyNames();
    for (const QString& name : names) {
        platform::Registry driver(platform::RootKey::LocalMachine);
        if (!driver.OpenKeyReadOnly(kAsioKey + QLatin1Char('\\') + name)) continue;
        const QString clsid = driver.ReadString(QStringLiteral("clsid")).value_or(QString());
        QString path;
        if (CheckAsioDriverDll(clsid, path) != 0) continue;
        TAsioDriverDesc desc;
        if (!platform::GuidFromText(clsid, &desc.id)) continue;
        desc.name = name.left(kNameLimit);
        desc.path = path;
        list.push_back(desc);
    }
}

QString AsioErrorText(int32_t code) {
    switch (code) {
    case platform::ASE_OK: return QStringLiteral("Success");
    case platform::ASE_SUCCESS: return QStringLiteral("SUCCESS (Futurecall)");
    case platform::ASE_NotPresent: return QStringLiteral("Hardware input or output is not present or available.");
    case platform::ASE_HWMalfunction: return QStringLiteral("Hardware is malfunctioning.");
    case platform::ASE_InvalidParameter: return QStringLiteral("Input parameter invalid.");
    case platform::ASE_InvalidMode: return QStringLiteral("Hardware is in a bad mode or used in a bad mode.");
    case platform::ASE_SPNotAdvancing: return QStringLiteral("Hardware is not running when sample position is inquired.");
    case platform::ASE_NoClock: return QStringLiteral("Sample clock or rate cannot be determined or is not present.");
    case platform::ASE_NoMemory: return QStringLiteral("Not enough memory for completing the request.");
    default: return QStringLiteral("Unknow ASIO Error, ID: ") + QString::number(code);
    }
}

bool CheckAsioError(int32_t code, bool showOnSuccess, const QString& caption, bool quiet) {
    const bool success = code == platform::ASE_OK || code == platform::ASE_SUCCESS;
    if ((!success && !quiet) || (success && showOnSuccess)) ShowAsioBox(AsioErrorText(code), caption);
    return success;
}

int32_t AsioSampleSize(int32_t type) {
    switch (type) {
    case 0:
    case 16: return 2;
    case 1:
    case 17: return 3;
    case 2: case 3: case 18: case 19:
    case 8: case 9: case 10: case 11:
    case 24: case 25: case 26: case 27: return 4;
    case 4:
    case 20: return 8;
    case 32: case 33: case 40: return 1;
    default: return 0;
    }
}
