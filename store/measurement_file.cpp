#include "store/measurement_file.h"

#include <QBuffer>
#include <QCursor>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QtEndian>

#include <sys/stat.h>

#include <array>
#include <chrono>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "platform/files.h"
#include "platform/user_dialogs.h"
#include "store/measurement_store.h"
#include "store/own_copies.h"
#include "store/password_encryption.h"
#include "ui_kit/services/main_window_services.h"
#include "ui_kit/stream_strings.h"
#include "ui_kit/text_helpers.h"
#include "ui_kit/text_table.h"

namespace {

const QString kPasswordPrefix = QStringLiteral("ZuQ48mvkr!");

constexpr int32_t kTextVeltaro = 101;
constexpr int32_t kTextCancel = 403;
constexpr int32_t kTextUpdatedFile = 783;
constexpr int32_t kTextInvalidFile = 784;
constexpr int32_t kTextSave = 843;
constexpr int32_t kTextCannotSave = 919;
constexpr int32_t kTextRepeat = 938;
constexpr int32_t kTextEncryption = 998;
constexpr int32_t kTextWrongPassword = 999;
constexpr int32_t kTextOkay = 1054;
constexpr int32_t kTextReset = 1122;

// After this many wrong passwords the retry message stops.
constexpr int32_t kRetryMessages = 5;

// Smallest file form of a block (numbers and an empty remark) and of a message.
constexpr qint64 kMinBlockBytes = kBlockNumberBytes + 4;

std::mutex gHookLock;
std::function<void(int32_t)> gRetryWait;
OldFormatReader gOldFormatReader;

// The file order of the header texts: the in-memory order with KALOFF last.
const std::array<QString TsaveItHeader13::*, kHeaderTextCount>& FileTextOrder() {
    static const auto order = [] {
        std::array<QString TsaveItHeader13::*, kHeaderTextCount> o{};
        size_t n = 0;
        for (QString TsaveItHeader13::*text : kHeaderTextFields) {
            if (text != &TsaveItHeader13::KALOFF) {
                o[n++] = text;
            }
        }
        o[n] = &TsaveItHeader13::KALOFF;
        return o;
    }();
    return order;
}

QString FileNameOnly(const QString& fn) { return QFileInfo(fn).fileName(); }

QWidget* MainFormOrNull() {
    MainWindowServices* main = mainWindowServices();
    return main != nullptr ? main->MainForm() : nullptr;
}

void WaitBeforeRetry(int32_t seconds) {
    std::function<void(int32_t)> wait;
    {
        std::lock_guard<std::mutex> guard(gHookLock);
        wait = gRetryWait;
    }
    if (wait) {
        wait(seconds);
    } else {
        std::this_thread::sleep_for(std::chrono::seconds(seconds));
    }
}

template <typename T>
bool WriteRaw(QIODevice& out, const T& value) {
    return out.write(reinterpret_cast<const char*>(&value), sizeof(T)) == static_cast<qint64>(sizeof(T));
}

QString WhereText(const QString& what, qint64 pos) {
    return QStringLiteral("%1 at byte %2").arg(what).arg(pos);
}

// Whole-file reading with the reason when it fails. A file beyond the
// largest measurement is refused before anything of it is read.
bool ReadWholeFile(const QString& fn, QByteArray& bytes, QString& why) {
    QString reason;
    bool tooLarge = false;
    std::optional<QByteArray> read = platform::ReadFileBounded(fn, kLargestMeasurementFileBytes, &reason, &tooLarge);
    if (!read) {
        why = tooLarge ? QStringLiteral("%1 holds more than the %2 bytes of the largest measurement file (48 hours)")
                             .arg(fn)
                             .arg(kLargestMeasurementFileBytes)
                       : QStringLiteral("cannot read %1: %2").arg(fn, reason);
        return false;
    }
    bytes = std::move(*read);
    return true;
}

QByteArray MarkerBytes() {
    QByteArray marker(4, '\0');
    qToLittleEndian<uint32_t>(kEncipheredFileMarker, marker.data());
    return marker;
}

uint32_t FirstWord(const QByteArray& bytes) {
    return qFromLittleEndian<uint32_t>(bytes.constData());
}

bool SameFile(const QString& a, const QString& b) {
    if (a.isEmpty() || b.isEmpty()) {
        return false;
    }
    const QFileInfo fa(a);
    const QFileInfo fb(b);
    if (fa.exists() && fb.exists()) {
        return fa.canonicalFilePath() == fb.canonicalFilePath();
    }
    return fa.absoluteFilePath() == fb.absoluteFilePath();
}

constexpr mode_t kWriteBits = S_IWUSR | S_IWGRP | S_IWOTH;

bool IsReadOnlyFile(const QString& fn, mode_t& mode) {
    struct stat st {};
    if (::stat(QFile::encodeName(fn).constData(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return false;
    }
    mode = st.st_mode & 07777;
    return (mode & S_IWUSR) == 0;
}

void SetFileMode(const QString& fn, mode_t mode) {
    ::chmod(QFile::encodeName(fn).constData(), mode);
}

// A read-only mark as the finished measurement gets it: nobody may write.
void MarkReadOnly(const QString& fn) {
    struct stat st {};
    if (::stat(QFile::encodeName(fn).constData(), &st) == 0 && S_ISREG(st.st_mode)) {
        SetFileMode(fn, (st.st_mode & 07777) & ~kWriteBits);
    }
}

// The asking loop around TryDecrypt: retry messages for the first five
// wrong passwords, with growing waits from the second on.
int32_t DecipherWithRetries(QByteArray& bytes, const QString& fn, QString& usedPassword) {
    int32_t failures = 0;
    for (;;) {
        const int32_t result = TryDecrypt(bytes, fn, nullptr, &usedPassword);
        if (result != kWrongPassword) {
            return result;
        }
        ++failures;
        if (failures > kRetryMessages) {
            continue;
        }
        const int answer = AskFileQuestion(WithTextArgument(GetLangText(kTextWrongPassword), FileNameOnly(fn)),
                                           kTextWrongPassword, GetLangText(kTextEncryption), kTextEncryption,
                                           kTextCancel, kTextRepeat);
        if (answer != platform::kMessageRight) {
            return kLoadCancelled;
        }
        if (failures >= 2) {
            WaitBeforeRetry(failures);
        }
    }
}

struct FileSnapshot {
    TsaveItHeader13 header;
    std::vector<TSaveIT6> werte;
    std::vector<TBlockDaten8> blocks;
    std::vector<TSMS> messages;
};

QByteArray BuildPlainImage(const FileSnapshot& s) {
    QByteArray image;
    QBuffer out(&image);
    out.open(QIODevice::WriteOnly);
    bool ok = WriteRaw(out, s.header.theData) && WriteHeaderTexts(out, s.header) >= 0;
    for (const TBlockDaten8& block : s.blocks) {
        ok = ok && WriteBlockRecord(out, block);
    }
    if (ok && !s.werte.empty()) {
        const auto bytes = static_cast<qint64>(s.werte.size() * sizeof(TSaveIT6));
        ok = out.write(reinterpret_cast<const char*>(s.werte.data()), bytes) == bytes;
    }
    for (const TSMS& message : s.messages) {
        ok = ok && WriteRaw(out, message.zeitpunkt) && WriteStreamString(out, message.meldung) >= 0;
    }
    ok = ok && WriteRaw(out, kFileTerminator);
    if (!ok) {
        throw std::runtime_error("the file image could not be built");
    }
    return image;
}

}  // namespace

// ---------------------------------------------------------------------------
// Layout pieces
// ---------------------------------------------------------------------------

int64_t FileDataSize(int32_t numBlock, int32_t numWerte) {
    return 96 * static_cast<int64_t>(numBlock) + 44 * static_cast<int64_t>(numWerte) + 376;
}

int32_t WriteHeaderTexts(QIODevice& out, const TsaveItHeader13& header) {
    int32_t total = 0;
    for (QString TsaveItHeader13::*text : FileTextOrder()) {
        const int32_t n = WriteStreamString(out, header.*text);
        if (n < 0) {
            return -1;
        }
        total += n;
    }
    return total;
}

bool ReadHeaderTexts(QIODevice& in, TsaveItHeader13& header) {
    for (QString TsaveItHeader13::*text : FileTextOrder()) {
        QString value;
        if (!ReadStreamString(in, value)) {
            return false;
        }
        header.*text = value;
    }
    return true;
}

bool ReadExactly(QIODevice& in, void* to, qint64 size) {
    return in.bytesAvailable() >= size && in.read(static_cast<char*>(to), size) == size;
}

bool ReadValueRecords(QIODevice& in, int32_t count, std::vector<TSaveIT6>& werte) {
    if (count < 0 || static_cast<qint64>(count) * kWertBytes > in.bytesAvailable()) {
        return false;
    }
    werte.resize(static_cast<size_t>(count));
    return werte.empty() || ReadExactly(in, werte.data(), static_cast<qint64>(werte.size()) * kWertBytes);
}

bool WriteBlockRecord(QIODevice& out, const TBlockDaten8& block) {
    const TBlockDaten8Fields& numbers = block;
    return WriteRaw(out, numbers) && WriteStreamString(out, block.remarkStr) >= 0;
}

bool ReadBlockRecord(QIODevice& in, TBlockDaten8& block) {
    TBlockDaten8Fields numbers;
    QString remark;
    if (!ReadExactly(in, &numbers, sizeof numbers) || !ReadStreamString(in, remark)) {
        return false;
    }
    static_cast<TBlockDaten8Fields&>(block) = numbers;
    block.remarkStr = remark;
    return true;
}

// ---------------------------------------------------------------------------
// Encipherment
// ---------------------------------------------------------------------------

QString FilePasswordKeyText(const QString& password) { return kPasswordPrefix + password; }

QByteArray EncipherFileImage(const QByteArray& plain, const QString& password) {
    if (!CipherSelfTest(TCipherKind::Rijndael)) {
        throw std::runtime_error("the Rijndael cipher failed its self test");
    }
    const QByteArray marker = MarkerBytes();
    return marker + EncipherStream(marker + plain, TCipherKind::Rijndael, THashKind::Tiger,
                                   FilePasswordKeyText(password));
}

bool IsEncipheredFile(const QByteArray& file) {
    return file.size() >= 4 && FirstWord(file) == kEncipheredFileMarker;
}

bool DecipherFileImage(QByteArray& file, const QString& password) {
    if (!IsEncipheredFile(file)) {
        return false;
    }
    QByteArray plain =
        DecipherStream(file.mid(4), TCipherKind::Rijndael, THashKind::Tiger, FilePasswordKeyText(password));
    if (!IsEncipheredFile(plain)) {
        return false;
    }
    file = plain.mid(4);
    return true;
}

int32_t TryDecrypt(QByteArray& file, const QString& fn, const QString* password, QString* usedPassword) {
    QString typed;
    if (password != nullptr) {
        typed = *password;
    } else {
        platform::PasswordRequest request;
        request.fileMode = true;
        request.name = fn;
        request.owner = MainFormOrNull();
        if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr) {
            request.topLeft = QCursor::pos();
        }
        const platform::PasswordAnswer answer = platform::userDialogs()->AskPassword(request);
        if (!answer.ok()) {
            return kLoadCancelled;
        }
        typed = answer.password;
    }
    if (!DecipherFileImage(file, typed)) {
        return kWrongPassword;
    }
    if (usedPassword != nullptr) {
        *usedPassword = typed;
    }
    return kLoadDone;
}

// ---------------------------------------------------------------------------
// Dialogs and test hooks
// ---------------------------------------------------------------------------

int AskFileQuestion(const QString& text, int32_t textId, const QString& header, int32_t headerId, int32_t leftId,
                    int32_t rightId) {
    platform::MessageRequest request;
    request.text = text;
    request.header = header;
    if (textId > 0) {
        request.textId = textId;
    }
    if (headerId > 0) {
        request.headerId = headerId;
    }
    if (leftId > 0) {
        request.leftCaption = GetLangText(leftId);
        request.leftCaptionId = leftId;
    }
    if (rightId > 0) {
        request.rightCaption = GetLangText(rightId);
        request.rightCaptionId = rightId;
    }
    request.owner = MainFormOrNull();
    return platform::userDialogs()->ShowMessage(request);
}

void SetPasswordRetryWaitForTests(std::function<void(int32_t)> wait) {
    std::lock_guard<std::mutex> guard(gHookLock);
    gRetryWait = std::move(wait);
}

void SetOldFormatReaderForTests(OldFormatReader reader) {
    std::lock_guard<std::mutex> guard(gHookLock);
    gOldFormatReader = std::move(reader);
}

// ---------------------------------------------------------------------------
// TDaten: text and block writers
// ---------------------------------------------------------------------------

int32_t TDaten::WriteHeaderStrings(QIODevice& stream) const {
    return WriteHeaderTexts(stream, GetHeader());
}

bool TDaten::ReadHeaderStrings(QIODevice& stream, TsaveItHeader13& header) {
    return ReadHeaderTexts(stream, header);
}

bool TDaten::WriteBlock(int32_t index, QIODevice& stream) const {
    TBlockDaten8 block;
    {
        platform::ReadGuard guard(DataSync);
        if (index < 0 || static_cast<size_t>(index) >= aB8.size()) {
            return false;
        }
        block = OwnCopy(aB8[static_cast<size_t>(index)]);
    }
    return WriteBlockRecord(stream, block);
}

// ---------------------------------------------------------------------------
// TDaten: saving
// ---------------------------------------------------------------------------

bool TDaten::SaveToFile(const QString& fn, const QString& pw) {
    QByteArray image;
    try {
        FileSnapshot snap;
        {
            platform::WriteGuard guard(DataSync);
            TSaveData13& d = DatenLatch.theData;
            d.Version = kCurrentHeaderVersion;
            if (d.DAUERLEQ <= 0) {
                aB8.clear();
            }
            d.NumBlock = static_cast<int32_t>(aB8.size());
            d.NumWerte = static_cast<int32_t>(aW6.size());
            d.DataSize = FileDataSize(d.NumBlock, d.NumWerte);
            snap.header = OwnCopy(DatenLatch);
            snap.werte = aW6;
            snap.blocks.reserve(aB8.size());
            for (const TBlockDaten8& block : aB8) {
                snap.blocks.push_back(OwnCopy(block));
            }
            snap.messages.reserve(aSms.size());
            for (const TSMS& message : aSms) {
                snap.messages.push_back(OwnCopy(message));
            }
        }
        // The file must describe what it holds: after a header-only load the
        // count of messages still names the other file's messages.
        snap.header.theData.NumSMS = static_cast<int32_t>(snap.messages.size());
        image = BuildPlainImage(snap);
        if (pw.size() >= kMinFilePasswordLength) {
            image = EncipherFileImage(image, pw);
        }
    } catch (const std::exception&) {
        return false;
    }

    // The measurement's own file may carry the read-only mark this store set
    // at its end; only its own new content may lift it. Any other read-only
    // file (a finished measurement that happens to have the same name) stays
    // protected and the write is refused.
    mode_t oldMode = 0;
    const bool liftMark = SameFile(fn, ReadOnlyMarkedFile()) && IsReadOnlyFile(fn, oldMode);
    if (liftMark) {
        SetFileMode(fn, oldMode | S_IWUSR);
    }
    QString error;
    if (!platform::WriteFileAtomically(fn, image, &error)) {
        if (liftMark) {
            SetFileMode(fn, oldMode);
        }
        throw FileWriteError(QStringLiteral("cannot write %1: %2").arg(fn, error).toStdString());
    }
    return true;
}

void TDaten::EndMessung(const QString& pw, bool lockFile) {
    const QString fn = GetSaveName();
    const auto lock = [&] {
        if (!lockFile) return;
        mode_t mode = 0;
        const bool wasReadOnly = IsReadOnlyFile(fn, mode);
        MarkReadOnly(fn);
        // Only a mark this store set is its own to lift again.
        if (!wasReadOnly || SameFile(fn, ReadOnlyMarkedFile())) SetReadOnlyMarkedFile(fn);
    };
    try {
        SaveToFile(fn, pw);
    } catch (...) {
        lock();
        throw;
    }
    lock();
}

QString TDaten::ReadOnlyMarkedFile() const {
    platform::ReadGuard guard(DataSync);
    return readOnlyMarked_;
}

void TDaten::SetReadOnlyMarkedFile(const QString& fn) {
    platform::WriteGuard guard(DataSync);
    readOnlyMarked_ = fn;
}

// ---------------------------------------------------------------------------
// TDaten: loading
// ---------------------------------------------------------------------------

namespace {

// The end mark's bits read as a date-time are a denormal number, never the
// time of a message, so the next eight bytes tell a message from the end.
bool AtEndMark(QIODevice& stream) {
    int64_t word = 0;
    return stream.peek(reinterpret_cast<char*>(&word), sizeof word) == static_cast<qint64>(sizeof word) &&
           word == kFileTerminator;
}

// The messages are read up to the end mark, whatever their count says: a
// header-only load followed by a save used to keep a count that no longer
// matched, and such a file must stay readable. Answers false when a message
// is cut short or no end mark follows; notes a count that had to be
// corrected in why.
bool ReadMessagesToEndMark(QIODevice& stream, std::vector<TSMS>& messages, int32_t& count, QString& why) {
    messages.clear();
    while (!AtEndMark(stream)) {
        TSMS message;
        if (!ReadExactly(stream, &message.zeitpunkt, sizeof message.zeitpunkt) ||
            !ReadStreamString(stream, message.meldung)) {
            why = WhereText(QStringLiteral("a message is damaged or cut short"), stream.pos());
            return false;
        }
        messages.push_back(std::move(message));
    }
    const auto found = static_cast<int32_t>(messages.size());
    if (found != count) {
        why = QStringLiteral("the header counts %1 messages, the file holds %2; the count was taken from the file")
                  .arg(count)
                  .arg(found);
        count = found;
    }
    return true;
}

}  // namespace

// Reads the whole version-14 image into this (scratch) store. Every count
// and length is checked against what the file still holds before anything
// is allocated; a short or inconsistent file is refused, never padded. The
// message count alone is not trusted (see ReadMessagesToEndMark); a note on
// it is left in why on success.
bool TDaten::ReadVersion14(QIODevice& stream, int32_t loadMode, QString& why) {
    TSaveData13& d = DatenLatch.theData;
    if (!ReadExactly(stream, &d, sizeof d)) {
        why = QStringLiteral("the header record is cut short");
        return false;
    }
    if (!ReadHeaderTexts(stream, DatenLatch)) {
        why = WhereText(QStringLiteral("a header text is damaged or cut short"), stream.pos());
        return false;
    }
    if (d.NumBlock < 0 || d.NumWerte < 0 || d.NumSMS < 0) {
        why = QStringLiteral("the header holds a negative count");
        return false;
    }
    const qint64 least = d.NumBlock * kMinBlockBytes + static_cast<qint64>(d.NumWerte) * kWertBytes +
                         static_cast<qint64>(sizeof kFileTerminator);
    if (least > stream.bytesAvailable()) {
        why = QStringLiteral("the file is shorter than its counts (%1 blocks, %2 values) require")
                  .arg(d.NumBlock)
                  .arg(d.NumWerte);
        return false;
    }

    aB8.resize(static_cast<size_t>(d.NumBlock));
    for (TBlockDaten8& block : aB8) {
        if (!ReadBlockRecord(stream, block)) {
            why = WhereText(QStringLiteral("a block is damaged or cut short"), stream.pos());
            return false;
        }
    }
    if (!ReadValueRecords(stream, d.NumWerte, aW6)) {
        why = QStringLiteral("the values are cut short");
        return false;
    }
    if (!ReadMessagesToEndMark(stream, aSms, d.NumSMS, why)) {
        return false;
    }
    // The terminator closes the image; a wrong one shows a cut or a count
    // that does not match the data, also inside an enciphered file, which
    // has no other check.
    int64_t terminator = 0;
    if (!ReadExactly(stream, &terminator, sizeof terminator) || terminator != kFileTerminator) {
        why = WhereText(QStringLiteral("the end mark of the file is missing"), stream.pos());
        return false;
    }
    // A header-only load checks the whole file too, but keeps only the
    // header; the counts then describe the file, not the empty lists.
    if (loadMode != kLoadEverything) {
        aW6.clear();
        aB8.clear();
        aSms.clear();
        status = kStoreHeaderOnly;
        noData = true;
        return true;
    }
    status = kStoreComplete;
    noData = false;
    return true;
}

void TDaten::AdoptContent(TDaten& loaded) {
    platform::WriteGuard guard(DataSync);
    DatenLatch = std::move(loaded.DatenLatch);
    aW6 = std::move(loaded.aW6);
    aB8 = std::move(loaded.aB8);
    aSms = std::move(loaded.aSms);
    status = loaded.status;
    noData = loaded.noData;
}

int32_t TDaten::LoadFromFile(const QString& fn, int32_t loadMode, QString* why) {
    QString reason;
    auto failed = [&](int32_t result) {
        if (why != nullptr) {
            *why = reason;
        }
        return result;
    };
    if (loadMode < kLoadEverything || loadMode > kLoadHeaderForImport) {
        reason = QStringLiteral("unknown load mode %1").arg(loadMode);
        return failed(kLoadFailed);
    }

    if (!QFileInfo(fn).isFile()) {
        InitValues();
        {
            platform::WriteGuard guard(DataSync);
            status = kStoreEmpty;
            if ((DatenLatch.theData.GRANGE & kCurveBits) == 0) {
                DatenLatch.theData.GRANGE |= kCurveBits;
            }
        }
        ValidateHeader();
        reason = QStringLiteral("%1 does not exist").arg(fn);
        return failed(kLoadFailed);
    }

    QByteArray bytes;
    if (!ReadWholeFile(fn, bytes, reason)) {
        return failed(kLoadFailed);
    }
    if (bytes.size() < 4) {
        reason = QStringLiteral("%1 is too short to be a measurement file").arg(fn);
        return failed(kLoadFailed);
    }

    QString password;
    if (FirstWord(bytes) == kEncipheredFileMarker) {
        if (loadMode == kLoadHeaderOnly) {
            reason = QStringLiteral("%1 is enciphered: only a load that asks for the password can read it").arg(fn);
            return failed(kLoadFailed);
        }
        if (DecipherWithRetries(bytes, fn, password) != kLoadDone) {
            reason = QStringLiteral("opening %1 was cancelled").arg(fn);
            return failed(kLoadCancelled);
        }
        if (bytes.size() < 4) {
            reason = QStringLiteral("%1 holds no measurement").arg(fn);
            return failed(kLoadFailed);
        }
    }
    const auto version = static_cast<int32_t>(FirstWord(bytes));

    TDaten scratch;
    QBuffer stream(&bytes);
    stream.open(QIODevice::ReadOnly);
    bool read = false;
    bool converted = false;
    bool askReset = false;
    QString resetDetail;  // what the reset question names besides its own text
    try {
        if (version == kCurrentHeaderVersion) {
            read = scratch.ReadVersion14(stream, loadMode, reason);
            askReset = !read;
        } else {
            OldFormatReader reader;
            {
                std::lock_guard<std::mutex> guard(gHookLock);
                reader = gOldFormatReader;
            }
            stream.seek(0);
            QString damage;
            const int32_t result = reader ? reader(scratch, stream, loadMode, version)
                                          : scratch.ReadOldFormat(stream, loadMode, version, damage);
            read = result == 0;
            converted = read;
            askReset = !read;
            if (read) {
                scratch.status = loadMode == kLoadEverything ? kStoreComplete : kStoreHeaderOnly;
                scratch.noData = loadMode != kLoadEverything;
            } else {
                if (damage.isEmpty()) {
                    damage = QStringLiteral("no measurement file of a known version (%1)").arg(version);
                }
                reason = QStringLiteral("%1: %2").arg(fn, damage);
                resetDetail = damage;
            }
        }
    } catch (const std::exception& e) {
        reason = QStringLiteral("%1 could not be read: %2").arg(fn, QString::fromStdString(e.what()));
        read = false;
        askReset = true;
    }

    if (!read) {
        // The reset question offers the only way to continue with a clean
        // store; declining it leaves everything as it was.
        if (askReset && loadMode == kLoadEverything) {
            const QString question = resetDetail.isEmpty()
                                         ? GetLangText(kTextInvalidFile)
                                         : resetDetail + QLatin1String("\r\n\r\n") + GetLangText(kTextInvalidFile);
            const int answer =
                AskFileQuestion(question, kTextInvalidFile, FileNameOnly(fn), 0, kTextReset, kTextCancel);
            if (answer == platform::kMessageLeft) {
                InitValues();
                ValidateHeader();
                return kLoadDone;
            }
        }
        return failed(kLoadFailed);
    }

    if ((scratch.DatenLatch.theData.GRANGE & kCurveBits) == 0) {
        scratch.DatenLatch.theData.GRANGE |= kCurveBits;
    }
    scratch.ValidateHeader();
    AdoptContent(scratch);

    if (converted && loadMode == kLoadEverything) {
        const int answer = AskFileQuestion(WithTextArgument(GetLangText(kTextUpdatedFile), fn), kTextUpdatedFile,
                                           GetLangText(kTextVeltaro), kTextVeltaro, kTextSave, kTextCancel);
        if (answer == platform::kMessageLeft) {
            // The converted file keeps the encipherment it was opened with.
            bool saved = false;
            try {
                saved = SaveToFile(fn, password);
            } catch (const std::exception&) {
                saved = false;
            }
            if (!saved) {
                AskFileQuestion(WithTextArgument(GetLangText(kTextCannotSave), fn), kTextCannotSave,
                                GetLangText(kTextVeltaro), kTextVeltaro, 0, kTextOkay);
            }
        }
    }
    // A file that loaded may still carry a note (a corrected count).
    if (why != nullptr) {
        *why = reason;
    }
    return kLoadDone;
}
